// The media agent: a host that reaches libraries, drives and disks.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "frame/mac/ZQMACBase.h"
#include "frame/mac/ZQMACLinkedList.h"

class ZQMACLibController;
class ZQMACDms;
class ZQMACMediaConfig;
class ZQMACCopyMgrController;
class ZQMACCenteraCluster;

class ZQMACMediaAgent : public ZQMACInterface {
 public:
  ZQMACMediaAgent() = default;
  ZQMACMediaAgent(const ZQMACMediaAgent&) = default;
  ~ZQMACMediaAgent() override;

  const std::string& GetNetHostName() const { return m_sNetHostName; }
  // The operating-system id; the handlers send its low 32 bits.
  long long GetOSId() const { return m_llOSId; }
  bool IsDetected() const { return m_bDetected; }
  bool IsAutoUpdateSCSIAddress() const { return m_bAutoUpdateSCSIAddress; }
  bool IsShown() override { return m_bShown; }
  void SetShown(bool shown) { Touch(); m_bShown = shown; }
  // The attribute word; the handlers test single bits of it.
  int GetAttribute() const { return m_iAttribute; }

  // Copies of the agent's lists (same elements).
  ZQMACLinkedList<ZQMACLibController> GetLibControllerList() const { return m_libControllerList; }
  ZQMACLinkedList<ZQMACDms> GetDmsList() const { return m_dmsList; }
  ZQMACLinkedList<ZQMACCopyMgrController> GetCopyMgrControllerList() const { return m_copyMgrControllerList; }

  // ---- the media agent as the listing shows it ----
  // The agent can reach archive clusters.
  bool IsCenteraAgent() const { return m_bCenteraAgent; }
  // The drive (installation directory) of the agent's software.
  const std::string& GetLocalDrive() const { return m_sLocalDrive; }
  // ---- end of the listing block ----

  // ---- the media agent as the drive listing shows it ----
  // The drive ids that the ACSLS server reports to this agent for the
  // library of that vendor and product, through the controller whose ACSLS
  // text is `acslsText`; empty when it reports none or cannot be asked
  // (the reason is then the agent's last error).
  std::vector<std::string> GetACSLSDriveIDList(const std::string& vendor, const std::string& product,
                                               const std::string& acslsText);
  // The agent's copy-manager controllers; with `shownOnly` only those
  // that are shown.
  ZQMACLinkedList<ZQMACCopyMgrController> GetCopyMgrControllerList(bool shownOnly) const;
  // ---- end of the drive listing block ----

  // ---- the media agent as detection shows it ----
  // The agent belongs to another installation: detected lists leave it out.
  bool IsForeign() const { return m_bForeign; }
  // The devices the last detection found that could be the object (a drive
  // path or a controller of this agent), as seen from `host` (empty: the
  // agent itself).
  ZQMACLinkedList<ZQMACInterface> GetDetectedCandidateDeviceList(ZQMACInterface* object, const std::string& host);
  // ---- end of the detection block ----

  // ---- the media agent as library controllers are added to it ----
  // (platform/mac/ZQMACLibraryControllers.cpp) A new media agent of that
  // name in `config`, which owns it from here on; not stored until a
  // controller is added to it. `network` is kept for callers that pass one
  // (null). When the instance refuses it (GetOwner() stays null, reason in
  // the instance's last error) the caller keeps it.
  ZQMACMediaAgent(const std::string& name, ZQMACMediaConfig* config, void* network);
  // Attaches a new controller (owned by no instance, or already by this
  // agent's) to this agent: the agent's instance owns it from then on. In
  // an instance backed by the central database the controller is stored
  // first, with the library it reaches (not configured yet) and, for an
  // agent not stored yet, the agent itself. False, with the reason as this
  // agent's last error, when it cannot be stored or owned; the caller then
  // keeps the controller and nothing has changed.
  bool AddLibController(ZQMACLibController* controller);
  // Reads the device information of the library behind the controller, as
  // this agent reaches it through `host`, into the controller's library.
  // `drivePath` is kept for callers that pass one (null). False, with the
  // reason as this agent's last error, when the library does not answer.
  bool GetDeviceInfo(const std::string& host, ZQMACLibController* controller, ZQMACDms* drivePath);
  // ---- end of the controller block ----

  // ---- NDMP drive paths (platform/mac/ZQMACNdmpDrives.cpp) ----
  // GetDeviceInfo without a controller and with an NDMP drive path reads
  // what the NDMP server `host` reports for the drive at the path's access
  // path into the path's drive (GetNdmpDriveInfo).
  bool GetNdmpDriveInfo(const std::string& host, ZQMACDms* drivePath);
  // Stores the new NDMP drive path `path` (owned by no instance, its pool
  // staged with ZQMACDrivePool::AddDms: a pool of `library` for this agent,
  // or a new one stored with it in the library's first master pool) with
  // its drive as drive `number` of `library`, in one change, and makes them
  // objects of this agent's instance. The added drive path (a new object;
  // `path` stays the caller's), or null with the reason as this agent's
  // last error and nothing stored. `reserved` is kept for callers that
  // pass one (null).
  ZQMACDms* AddDms(ZQMACDms* path, ZQMACLms* library, int number, void* reserved);
  // ---- end of the NDMP block ----

  // ---- the media agent as the media-agent requests ask it ----
  // (platform/mac/ZQMACMediaAgents.cpp) The objects of this agent that the
  // library controller (or drive path) could be matched with: the agent's
  // other library controllers (drive paths) that are not configured, in
  // list order. Empty for null.
  ZQMACLinkedList<ZQMACInterface> GetCandidateList(ZQMACLibController* controller);
  ZQMACLinkedList<ZQMACInterface> GetCandidateList(ZQMACDms* drivePath);
  // The names under which the library server on this agent's host offers
  // libraries of that vendor and product (the first two texts of a
  // library-vendor entry), in the server's order. Empty when it offers none
  // or cannot be asked (the reason is then the agent's last error).
  std::vector<std::string> GetLibServerNameList(const std::string& vendor, const std::string& product);
  // (platform/mac/ZQMACCopyManagers.cpp) Adds a software copy manager with
  // that concurrency limit to the agent: a new copy-manager device of the
  // agent's instance with one controller on the agent. False, with the
  // reason as the agent's last error, when it cannot be added.
  bool AddSoftwareCopyManager(int concurrencyLimit);
  // (platform/mac/ZQMACMediaAgents.cpp) The agents the configuration shows,
  // kept: the agents of `chosen` are shown, every other agent of `config`
  // hidden, and each agent's choice is stored with it in one step (joining
  // the thread's open transaction). An agent made for a name the
  // configuration did not know is stored as a media agent, its client made
  // when no client has its name. False, with the reason as the instance's
  // last error, when the choice could not be stored: then nothing is
  // stored and every agent shows as before. SetShown changes only what
  // this session shows.
  static bool ChooseShown(ZQMACMediaConfig& config, ZQMACLinkedList<ZQMACInterface>& chosen);
  // ---- end of the media-agent requests block ----

  // ---- archive clusters (platform/mac/ZQMACCenteraClusters.cpp) ----
  // Asks the cluster through its first access node for its identity, name,
  // capacity and version and puts them into `cluster`. False, with the
  // reason as this agent's last error, when the cluster has no access node
  // or does not answer.
  bool GetCenteraInfo(ZQMACCenteraCluster* cluster);
  // ---- end of archive clusters ----

  unsigned int GetObjectType() const override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  // ---- fields of the listing block (a loader fills them) ----
  bool m_bCenteraAgent = false;
  std::string m_sLocalDrive;
  // ---- end of the listing fields ----

  // ---- fields of the drive listing block (a loader fills them) ----
  // What the ACSLS server reports, by the controller's ACSLS text.
  std::map<std::string, std::vector<std::string>> m_acslsDriveIds;
  // ---- end of the drive listing fields ----

  // ---- fields of the detection block (a loader fills them) ----
  bool m_bForeign = false;
  // ---- end of the detection fields ----

  std::string m_sNetHostName;
  long long m_llOSId = 0;
  bool m_bDetected = false;
  bool m_bAutoUpdateSCSIAddress = false;
  bool m_bShown = true;
  int m_iAttribute = 0;

  ZQMACLinkedList<ZQMACLibController> m_libControllerList;
  ZQMACLinkedList<ZQMACDms> m_dmsList;
  ZQMACLinkedList<ZQMACCopyMgrController> m_copyMgrControllerList;
};

// Every class of the model, so that the lists above can be copied and
// destroyed wherever this header is used.
#include "frame/mac/ZQMACObjects.h"
