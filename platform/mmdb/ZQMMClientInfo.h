// Client-info objects of the media-management service: they add, change and
// remove mount paths, devices, device paths (device controllers), library
// control, libraries of a media agent, hybrid-cloud pairings and
// copy-failover candidates, over the same tables as the table access and the
// bindings, so that a change made here is seen by both.
//
//  - An object is made with the value 1 (every caller passes 1); a mount-path
//    object also from an MMSMountpathInfo, which must outlive the object.
//  - Every operation returns 0 on success and a non-zero code on failure;
//    then GetErrorCode(code) / GetLastError(code, buffer, length) give the
//    code and text, and ErrorTrans::getErrorString the fixed text of a code.
//  - A change made of several rows is all or nothing. The operations work
//    on the calling thread's connection: in its open transaction when there
//    is one, otherwise each in a transaction of its own; the copy-failover
//    candidate takes the caller's transaction.
//
//   ZQMMDeviceInfo devices(1);
//   std::vector<MMConfigDeviceControllerInfo> list(1);
//   list[0].clientId = 12; list[0].operation = MM_DEVICE_CONTROLLER_ADD; ...
//   if (devices.configDeviceControllerList(deviceId, list) != 0) {
//     int code = 0; devices.GetErrorCode(code); ...
//   }
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/ZQMMRecords.h"

class DBtran;

// Codes of the media-management service (GetErrorCode).
enum ZQMMErrorCode : int {
  ZQMM_SUCCESS = 0,
  ZQMM_ERR_DEVICE_NOT_FOUND = 415,
  ZQMM_ERR_MOUNTPATH_NOT_FOUND = 416,
  ZQMM_ERR_LIBRARY_NOT_FOUND = 417,
  ZQMM_ERR_CONTROLLER_NOT_FOUND = 418,
  // The mount path still holds data (backups on its medium); delete it with force.
  ZQMM_ERR_MOUNTPATH_HAS_DATA = 419,
  ZQMM_ERR_CONTROLLER_EXISTS = 420,
  ZQMM_ERR_BAD_REQUEST = 421,
  ZQMM_ERR_DATABASE = 422,
  ZQMM_ERR_DUPLICATE_NAME = 423,
  ZQMM_ERR_MEDIA_AGENT_NOT_FOUND = 424,
  ZQMM_ERR_MOUNTPATH_IN_USE = 448,
  ZQMM_ERR_MOUNTPATH_DDB_REFERENCE = 470,
};

// The error of an object's last call.
class ZQMMbase {
 public:
  explicit ZQMMbase(int value = 1) : m_value(value) {}
  virtual ~ZQMMbase() = default;
  ZQMMbase(const ZQMMbase&) = delete;
  ZQMMbase& operator=(const ZQMMbase&) = delete;

  // The code of the last call into `code`; returns it too.
  int GetErrorCode(int& code) const {
    code = m_code;
    return m_code;
  }
  // Code and text of the last call; the text is cut to fit `length` bytes
  // and always terminated (the empty text after a success). Returns the code.
  int GetLastError(int& code, char* buffer, int length) const;
  const std::string& lastErrorText() const { return m_text; }

  // What a change refuses with: a code of ZQMMErrorCode and a text.
  struct Refused {
    int code = 0;
    std::string text;
  };
  // What the work of changeAtomically returns when it refuses.
  static constexpr int kRefused = -2;

 protected:
  // Starts a call: clears the error, journals it and takes a scripted
  // failure. When it is to fail, errorCode() is the call's result. The
  // arguments (see tkmmdb::journalArgs) are made texts only while the
  // journal is on.
  template <class... A>
  bool beginCall(const char* call, const A&... args) {
    m_code = ZQMM_SUCCESS;
    m_text.clear();
    if (!tkmmdb::journalOn()) return true;
    return journalCall(call, tkmmdb::journalArgs(args...));
  }
  // The journaled part of beginCall.
  bool journalCall(const char* call, std::vector<std::string> args);
  // Records a failure, logs it and returns `code`.
  int fail(const char* tag, int code, const std::string& text);
  int errorCode() const { return m_code; }
  int value() const { return m_value; }
  // Runs `work` all or nothing on the calling thread's connection (in its
  // open transaction when there is one, else in a transaction of its own).
  // `work` returns 0, an engine code (the work is undone) or kRefused with
  // the refusal filled in. The result: ZQMM_SUCCESS; the refusal's code; or
  // ZQMM_ERR_DATABASE with "<failure>: <the database's text>". Failures are
  // recorded and logged under `tag`.
  int changeAtomically(const char* tag, const char* failure,
                       const std::function<int(tkdb::Session&, Refused&)>& work);

 private:
  int m_value;
  int m_code = ZQMM_SUCCESS;
  std::string m_text;
};

// Mount paths: create and delete, and the pruning control of a mount path.
class ZQMMmountPath : public ZQMMbase {
 public:
  explicit ZQMMmountPath(int value = 1) : ZQMMbase(value) {}
  ZQMMmountPath(const MMSMountpathInfo& info, int value) : ZQMMbase(value), m_info(&info) {}

  // Creates the mount path that the object's MMSMountpathInfo describes (its
  // library, base folder as the name, writers, credentials, type and device)
  // with a medium and media side of its own in the library's master pool,
  // and puts its new id into `newMountPathId`. The library and the device
  // must exist, the name must be new in the library. Every media agent with
  // a device path to the device gets a drive pool in the master pool.
  int addMountPath(int& newMountPathId);
  // Deletes a mount path with its device links, its medium and media side,
  // its RP store rows and its distributed-storage link. Without `force` a
  // mount path whose medium still holds backups is refused
  // (ZQMM_ERR_MOUNTPATH_HAS_DATA); with it the backups go as well.
  int delMountPath(int mountPathId, bool force);
  // Starts or stops the pruning of aged data on a mount path (the request's
  // mount path must exist and its action be 1 or 2).
  int performStartStopPruningConfig(const MMStartStopOnGoingPruningReq& request);

 private:
  const MMSMountpathInfo* m_info = nullptr;
};

// Devices and their device paths (device controllers).
class ZQMMDeviceInfo : public ZQMMbase {
 public:
  explicit ZQMMDeviceInfo(int value = 1) : ZQMMbase(value) {}

  // Creates a device (name, type, cloud service type) and the device path
  // of `controller` to it; puts the new device id into device.deviceId. The
  // name must be new among the devices. `value` is carried for the service.
  int addDevice(MMDeviceParams& device, MMDeviceControllerParams& controller, int value);
  // Adds a device path of controller.clientId to the device; puts the new
  // controller id into `newControllerId`. A media agent has at most one
  // device path to a device (ZQMM_ERR_CONTROLLER_EXISTS).
  int addDeviceController(int deviceId, MMDeviceControllerParams& controller, int& newControllerId);
  // Applies every entry to the device paths of the device, in order, all or
  // nothing: 1 adds a path for the entry's media agent, 2 changes the path
  // deviceControllerId (folder, user name, password, access type, enabled),
  // 3 removes it. A change or removal must name a path of this device. A
  // media agent added gets a drive pool in the master pool of each mount path
  // on the device.
  int configDeviceControllerList(int deviceId, const std::vector<MMConfigDeviceControllerInfo>& list);
};

// Library control.
class ZQMMlcpInfo : public ZQMMbase {
 public:
  explicit ZQMMlcpInfo(int value = 1) : ZQMMbase(value) {}

  // Makes library controller `requestedControllerId` the active controller of
  // its library; `activeControllerId` (0 when the library has none) must be
  // the library's current one.
  int switchControl(int activeControllerId, int requestedControllerId);
};

// Media-agent side of a library.
class ZQMMmedAgentInfo : public ZQMMbase {
 public:
  explicit ZQMMmedAgentInfo(int value = 1) : ZQMMbase(value) {}
  // The media agent of a network host name, for its system facts.
  ZQMMmedAgentInfo(const char* hostName, int value) : ZQMMbase(value), m_hostName(hostName != nullptr ? hostName : "") {}

  // Removes the library with everything that belongs to it (as
  // MMLibraryDB::uninstallLibrary). `name`, when given, must be the
  // library's name.
  int uninstallLibrary(int libraryId, const char* name = nullptr);

  // The operating-system id of the media agent made from a host name
  // (SimOperatingSystem.id, 0 when not recorded) and its second value (the
  // client id); 0, or an error code for an unknown host.
  int getSystemOSId(int& osId, int& clientId);

 private:
  std::string m_hostName;
};

// Library settings kept by the media-management service.
class ZQMMDBLibInfo : public ZQMMbase {
 public:
  explicit ZQMMDBLibInfo(int value = 1) : ZQMMbase(value) {}

  // Pairing flag 1 pairs the cloud library with the disk library (replacing
  // the cloud library's earlier pairing), 0 removes the pairing of the cloud
  // library with the disk library. Both libraries must exist.
  int setHybridCloudLib(int libraryId, int cloudLibraryId, int pairingFlag, unsigned int userId);
};

// Copy failover. Its failures are also available as table-access errors
// (getErrorCode, getLastError).
class ZQMMDBCopyFailover : public ZQMMbase, public MMTableAccess {
 public:
  explicit ZQMMDBCopyFailover(int value = 1) : ZQMMbase(value), MMTableAccess(nullptr) {}

  // Makes the drive pool of the media agent a failover candidate of the
  // copy, in the caller's transaction (a second call for the same copy and
  // drive pool replaces the first).
  int addCFCandidate(int copyId, int drivePoolId, int clientId, int priority, int flags, bool isDefault,
                     DBtran* tran);

 private:
  int failBoth(const char* tag, int code, const std::string& text);
};
