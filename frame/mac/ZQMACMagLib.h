// Disk (magnetic) libraries and their mount paths.
#pragma once

#include <string>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACLinkedList.h"
#include "platform/mmdb/MMLibraryName.h"

class ZQMACMountPath;
class ZQMACMagLib;

// ---- the description of a new mount path (ZQMACMagLib::AddMountPath) ----
// A value-initialised record is the empty one; the caller fills what it
// knows. Texts are whole; AddMountPath refuses what does not fit.
struct MountPathInfo {
  int reserved = 0;
  int libraryId = 0;             // the disk library's GetId()
  std::string path;              // folder or share path, 1 to 4,096 bytes
  int maxConcurrentWriters = 0;  // 0 or more
  int reserveSpaceMB = 0;        // 0 or more
  std::string userName;          // at most 1,024 bytes
  std::string password;          // as prepared for storage; at most 2,048 bytes
  int mountPathType = 0;
  int deviceId = 0;  // the disk device the path lies on; 0 for none
};
// ---- end of the mount-path description ----

class ZQMACMountPath : public ZQMACInterface {
 public:
  ZQMACMountPath() = default;
  ZQMACMountPath(const ZQMACMountPath&) = default;
  ~ZQMACMountPath() override;

  // The user name for reaching the path; both getters read the one member.
  const std::string& GetUserName() const { return m_sUserName; }
  const std::string& GetUserNameString() const { return m_sUserName; }
  void SetUserName(const std::string& userName) { Touch(); m_sUserName = userName; }
  // A password given (an empty one too) is marked: the session does not
  // hold the stored one, and UpdateNameAndPassword writes only one given.
  void SetUserPassword(const std::string& password) {
    Touch();
    m_sPassword = password;
    MarkChanged(&m_sPassword);
  }
  // ---- the mount path as the mount-path request changes it ----
  // Writes the user name and, when one was given since, the password set
  // above (through to the database for a stored mount path); false (reason
  // in the last error) when refused, and the mount path then holds the
  // user name the database holds and no password of its own.
  bool UpdateNameAndPassword();
  // ---- end of the mount-path block ----
  // The id of the foreign agent (the device id of the path).
  int GetForeignAgantId() const { return m_iForeignAgentId; }
  int GetMountPathType() const { return m_iMountPathType; }

  ZQMACMagLib* GetMagLib() const { return m_pMagLib; }
  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  std::string m_sUserName;
  std::string m_sPassword;
  int m_iForeignAgentId = 0;
  int m_iMountPathType = 0;

  ZQMACMagLib* m_pMagLib = nullptr;
  ZQMACMediaAgent* m_pMediaAgent = nullptr;
};

class ZQMACMagLib : public ZQMACInterface {
 public:
  ZQMACMagLib() = default;
  ZQMACMagLib(const ZQMACMagLib&) = default;
  ~ZQMACMagLib() override;

  // The name the library answers to: the alias name when it is not empty,
  // otherwise the library's name.
  const std::string& GetAliasName() const { return tkmmdb::answeredName(m_sAliasName, m_sName); }
  int GetLowWatermark() const { return m_iLowWatermark; }
  // True when the attribute word is not 0.
  bool GetLibAttributeFlag() const { return m_iAttribute != 0; }
  // A copy of the library's mount-path list (same elements).
  ZQMACLinkedList<ZQMACMountPath> GetMountPathList() { return m_mountPathList; }
  // The configuration the library belongs to: the instance that owns it
  // (a graph handed over to a new instance goes with it), else the one it
  // was bound to.
  ZQMACMediaConfig* GetMediaConfig() const { return GetOwner() != nullptr ? GetOwner() : m_pMediaConfig; }

  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }

  // The kind of disk library (the listing sends it and derives its kind
  // masks from it: 3 and 4, 5, 6, 7 and 8 have masks of their own).
  int GetMagLibType() const { return m_iMagLibType; }

  unsigned int GetObjectType() const override;

  // ---- the disk library as the disk-library request builds and changes it ----
  // A new library is built unowned, bound to its configuration, and stored
  // by Configure, which names it (its alias, or the next free
  // "DiskLibrary_<n>") and hands it to the configuration. A stored library
  // writes its alias, watermark and attribute word through to the
  // database first; false (reason in the last error) when refused.
  // Configure refuses with kErrorMagLibNameInUse when a library already
  // carries the name or alias, kErrorMagLibNoConfig without a configuration.
  static constexpr unsigned int kErrorMagLibNoConfig = 264;
  static constexpr unsigned int kErrorMagLibNameInUse = 288;
  void SetMediaConfig(ZQMACMediaConfig* config) { Touch(); m_pMediaConfig = config; }
  void SetMediaAgent(ZQMACMediaAgent* agent) { Touch(); m_pMediaAgent = agent; }
  bool SetAliasName(const std::string& alias);
  bool SetLowWatermark(int megabytes);
  bool SetLibAttributeFlag(int word);
  // A type that is no disk-library kind keeps the library a plain one (3).
  void SetMagLibType(int type);
  bool Configure(unsigned int mode) override;
  // ---- end of the disk-library block ----
  // ---- the disk library as the setup wizard makes and shows it ----
  // (platform/mac/ZQMACWizard.cpp) With the flag set, Configure of a new
  // library of a database-backed configuration also gives it a storage
  // policy of its own (default copy and aging rule) through its media agent,
  // in the same change: neither is stored without the other.
  void SetAutoCreateStoragePolicy(bool create) { Touch(); m_bAutoCreateStoragePolicy = create; }
  bool GetAutoCreateStoragePolicy() const { return m_bAutoCreateStoragePolicy; }
  // Shown while its own flag is set and its media agent (when it has one)
  // is shown.
  bool IsShown() override;
  // ---- end of the wizard block ----

  // ---- adding mount paths (platform/mac/ZQMACMountPathAdd.cpp) ----
  // Adds the mount path `info` describes to this library (one that a
  // configuration owns) and stores it with the library when the
  // configuration lives on the database. The new mount path, owned by the
  // configuration; null with the reason in the library's last error, and
  // nothing added, when refused:
  //   kErrorMountPathInUse       the library has a mount path of that path;
  //   kErrorMountPathNoDevice    the device id names no disk device;
  //   kErrorMountPathUnreached   no media agent reaches that device;
  //   tkmac codes                a bad description or a database failure.
  static constexpr unsigned int kErrorMountPathInUse = 101;
  static constexpr unsigned int kErrorMountPathNoDevice = 396;
  static constexpr unsigned int kErrorMountPathUnreached = 752;
  ZQMACMountPath* AddMountPath(MountPathInfo const& info);
  // ---- end of adding mount paths ----

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  // The kind of disk library, as stored (the library type id: 3 a plain
  // disk library; the other disk-library kinds have ids of their own).
  int m_iMagLibType = 3;

  std::string m_sAliasName;
  int m_iLowWatermark = 0;
  int m_iAttribute = 0;
  ZQMACLinkedList<ZQMACMountPath> m_mountPathList;
  ZQMACMediaConfig* m_pMediaConfig = nullptr;

  ZQMACMediaAgent* m_pMediaAgent = nullptr;
  bool m_bAutoCreateStoragePolicy = false;  // wizard block
};

#include "frame/mac/ZQMACObjects.h"
