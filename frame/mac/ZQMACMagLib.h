// Disk (magnetic) libraries and their mount paths.
#pragma once

#include <string>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACLinkedList.h"

class ZQMACMountPath;
class ZQMACMagLib;

class ZQMACMountPath : public ZQMACInterface {
 public:
  ZQMACMountPath() = default;
  ZQMACMountPath(const ZQMACMountPath&) = default;
  ~ZQMACMountPath() override;

  // The user name for reaching the path; both getters read the one member.
  const std::string& GetUserName() const { return m_sUserName; }
  const std::string& GetUserNameString() const { return m_sUserName; }
  void SetUserName(const std::string& userName) { m_sUserName = userName; }
  void SetUserPassword(const std::string& password) { m_sPassword = password; }
  // The id of the foreign agent (the device id of the path).
  int GetForeignAgantId() const { return m_iForeignAgentId; }
  int GetMountPathType() const { return m_iMountPathType; }

  ZQMACMagLib* GetMagLib() const { return m_pMagLib; }
  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

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

  // The alias name when it is not empty, otherwise the library's name.
  const std::string& GetAliasName() const { return m_sAliasName.empty() ? m_sName : m_sAliasName; }
  int GetLowWatermark() const { return m_iLowWatermark; }
  // True when the attribute word is not 0.
  bool GetLibAttributeFlag() const { return m_iAttribute != 0; }
  // A copy of the library's mount-path list (same elements).
  ZQMACLinkedList<ZQMACMountPath> GetMountPathList() { return m_mountPathList; }
  // The configuration the library belongs to.
  ZQMACMediaConfig* GetMediaConfig() const { return m_pMediaConfig; }

  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }

  // The kind of disk library (the listing sends it and derives its kind
  // masks from it: 3 and 4, 5, 6, 7 and 8 have masks of their own).
  int GetMagLibType() const { return m_iMagLibType; }

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObject(const void* address) override;

  // The kind of disk library, as stored (the library type id: 3 a plain
  // disk library; the other disk-library kinds have ids of their own).
  int m_iMagLibType = 3;

  std::string m_sAliasName;
  int m_iLowWatermark = 0;
  int m_iAttribute = 0;
  ZQMACLinkedList<ZQMACMountPath> m_mountPathList;
  ZQMACMediaConfig* m_pMediaConfig = nullptr;

  ZQMACMediaAgent* m_pMediaAgent = nullptr;
};

#include "frame/mac/ZQMACObjects.h"
