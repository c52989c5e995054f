// The life cycle of a continuous-replication (Quillmere) volume on its
// client (onMsgManageQuillmereVolume): protect (109), terminate (110),
// suspend (111), resume (112), activate (41), deactivate (42) and roll back
// (97).
//
// Each command goes to the client's volume service first; when the client
// reports success the volume's new state is recorded: the protection state
// and flag of the SAN volume record (only those two fields, by their
// change-mask bits), or the activation flags of the replica record that
// the activation found. When the record cannot be written the client's
// change stays; the answer says the record failed. Protect raises an event
// on success and on failure; no other command does.
//
// Every answer carries its text as it stands (a fixed text, the client's
// reason or a service's error text); an unknown element is logged and
// skipped. Values and presence marks carry over from one record to the
// next; the first failing record is answered and ends the request.
//
// Lasting state: none.
#include <algorithm>
#include <string>
#include <vector>

#include "frame/ElementTags.h"
#include "frame/MessageInfo.h"
#include "frame/SANVolFrame.h"
#include "platform/clientvol/ZQSVCClientSession.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/replicadb/ReplicaDBClient.h"
#include "sanvol/EvSANVolMgr.h"
#include "sanvol/continuous/ContinuousControl.h"
#include "sanvol/flr/FlrShared.h"

namespace {

using tksanvol::AnswerForm;
using tksanvol::RecordOutcome;
using tksanvol::flr::answerWithText;
using tksanvol::flr::formatText;

constexpr const char* kTag = "EvSANVolMgr::onMsgManageQuillmereVolume";

// ---------------------------------------------------------------- events

constexpr int kEventProtected = 0x39000035;       // %1 the volume, %2 the client host
constexpr int kEventProtectFailed = 0x39000036;   // %1 the volume, %2 the client host

// ---------------------------------------------------------------- elements

constexpr unsigned int kElementClient = tktag::kClient;
constexpr unsigned int kElementServer = tktag::kQuillmereServer;        // text
constexpr unsigned int kElementVolume = tktag::kQuillmereVolume;        // [u32 volume id][volume name]
constexpr unsigned int kElementLocation = tktag::kLocation;      // text
constexpr unsigned int kElementTimestamp = tktag::kTimestamp;     // u32, widened
constexpr unsigned int kElementDifferential = tktag::kDifferentialMode;  // flag
constexpr unsigned int kElementOnline = tktag::kOnlineState;        // flag
constexpr unsigned int kElementTargetVolume = tktag::kSanVolume;  // u32, no presence mark

constexpr unsigned long long kOperationActivate = 41;
constexpr unsigned long long kOperationDeactivate = 42;
constexpr unsigned long long kOperationRollback = 97;
constexpr unsigned long long kOperationProtect = 109;
constexpr unsigned long long kOperationTerminate = 110;
constexpr unsigned long long kOperationSuspend = 111;
constexpr unsigned long long kOperationResume = 112;

// Protection states of a SAN volume record.
constexpr int kStateNotProtected = 0;
constexpr int kStateProtected = 1;
constexpr int kStateSuspended = 2;

// The replicas whose physical volume is the volume.
constexpr int32_t kQueryReplicasOfVolume = 1;

constexpr int kLevelReceived = 7;

// The objects of one record, made before the command is dispatched.
struct Record {
  tksanvol::StreamContext& context;
  std::string host;
  ZQSVCClientSession session;
  ReplicaDBClient db;
  UpdateSNRVolumeV3Args_t update;

  Record(tksanvol::StreamContext& c, uint32_t clientId, int32_t volumeId)
      : context(c),
        host(tksanvol::continuous::networkHostOf(clientId)),
        session(host, static_cast<int>(clientId), nullptr, nullptr),
        db(1) {
    update.volume.volumeId = volumeId;
  }
  tksanvol::RequestAnswer& answer() { return context.answer; }
  std::string reason() const { return tksanvol::flr::reasonOf(session.getLastErrorString()); }
};

class VolumeCommand final : public tksanvol::StreamHandler {
 public:
  bool takeElement(tksanvol::StreamContext&, unsigned int type, const char* value, unsigned int length) override {
    const uint32_t number = tksanvol::readU32(value, length);
    switch (type) {
      case kElementClient:
        m_clientId = number;
        m_hasClient = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, client id = %d.", static_cast<int>(number));
        return true;
      case kElementServer:
        m_server = tksanvol::readText(value, length);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Quillmere server name = %s", m_server.c_str());
        return true;
      case kElementVolume: {
        const tksanvol::IdText volume = tksanvol::continuous::readIdTextValue(value, length);
        m_volumeId = static_cast<int32_t>(volume.id);
        m_volumeName = volume.text;
        m_hasVolume = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Quillmere Volume Id = %d and name = %s",
                          static_cast<int>(m_volumeId), m_volumeName.c_str());
        return true;
      }
      case kElementLocation:
        m_location = tksanvol::readText(value, length);
        m_hasLocation = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Location = %s", m_location.c_str());
        return true;
      case kElementTimestamp:
        m_timestamp = number;
        m_hasTimestamp = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, timestamp = %ld.", static_cast<long>(m_timestamp));
        return true;
      case kElementDifferential:
        m_differential = number != 0;
        m_hasDifferential = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Differential mode = %d.", m_differential ? 1 : 0);
        return true;
      case kElementOnline:
        m_online = number != 0;
        m_hasOnline = true;
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Online state = %d.", m_online ? 1 : 0);
        return true;
      case kElementTargetVolume:
        m_targetVolumeId = static_cast<int32_t>(number);
        EvDebug::DebugLvl(kLevelReceived, kTag, "Received, Target Volume id = %d.", static_cast<int>(m_targetVolumeId));
        return true;
      default:
        return false;
    }
  }
  bool supportsOperation(unsigned long long) const override { return true; }

  RecordOutcome onRecord(tksanvol::StreamContext& context) override {
    if (!context.hasOperation || !m_hasClient || !m_hasVolume) return missing(context);
    Record record(context, m_clientId, m_volumeId);
    RecordOutcome outcome = RecordOutcome::Failed;
    switch (context.operation) {
      case kOperationProtect:
        outcome = protect(record);
        break;
      case kOperationTerminate:
        outcome = terminate(record);
        break;
      case kOperationSuspend:
      case kOperationResume:
        outcome = suspendOrResume(record);
        break;
      case kOperationActivate:
        outcome = activate(record);
        break;
      case kOperationDeactivate:
        outcome = deactivate(record);
        break;
      case kOperationRollback:
        outcome = rollback(record);
        break;
      default:
        return tksanvol::flr::invalidOperation(context);
    }
    if (outcome != RecordOutcome::GoOn) return outcome;
    context.answer.success(AnswerForm::OperationResponse, context.operation);
    return RecordOutcome::GoOn;
  }

 private:
  static RecordOutcome missing(tksanvol::StreamContext& context,
                               const char* text = tksanvol::continuous::kMissingInformation,
                               const char* logText = nullptr) {
    if (logText != nullptr) EvDebug::Error(kTag, "%s", logText);
    return answerWithText(context.answer, text, AnswerForm::OperationResponse, context.operation);
  }

  // A failed client call: the command's failure line with the reason at
  // its end is logged, the reason alone answered.
  RecordOutcome clientFailed(Record& r, const std::string& line) {
    EvDebug::Error(kTag, "%s", line.c_str());
    return answerWithText(r.answer(), r.reason());
  }
  std::string volumeLine(const char* verb, const Record& r) const {
    return formatText("Failed to %s Quillmere volume %s on client %s. %s", verb, m_volumeName.c_str(),
                      r.host.c_str(), r.reason().c_str());
  }
  std::string volumeIdLine(const char* verb, const Record& r) const {
    return formatText("Failed to %s Quillmere volume id %d on client %s. %s", verb, static_cast<int>(m_volumeId),
                      r.host.c_str(), r.reason().c_str());
  }

  // Records the volume's protection state and flag; false with the
  // service's error text.
  static bool writeState(Record& r, int state, bool isProtected, std::string& error) {
    r.update.volume.SetQMState(state);
    r.update.volume.SetQuillmereProtected(isProtected);
    UpdateSNRVolumeV3Ret_t ret;
    if (r.db.UpdateSNRVolume(r.update, ret)) return true;
    error = ret.errorText;
    return false;
  }
  static RecordOutcome recordState(Record& r, int state, bool isProtected) {
    std::string error;
    if (writeState(r, state, isProtected, error)) return RecordOutcome::GoOn;
    return answerWithText(r.answer(), error);
  }

  RecordOutcome protect(Record& r) {
    EvEvent& event = r.answer().event();
    event.clearArguments();
    event << m_volumeName.c_str() << r.host.c_str();
    if (!r.session.ProtectQuillmereVolume(m_server, m_volumeName)) {
      event.MajorEvent(kEventProtectFailed);
      return clientFailed(r, volumeLine("protect", r));
    }
    std::string error;
    if (!writeState(r, kStateProtected, true, error)) {
      event.MajorEvent(kEventProtectFailed);
      return answerWithText(r.answer(), error);
    }
    event.InfoEvent(kEventProtected);
    return RecordOutcome::GoOn;
  }

  RecordOutcome terminate(Record& r) {
    if (!r.context.hasTarnfoldId)
      return missing(r.context, "Tarnfold ID missing for Quillmere volume termination",
                     "Tarnfold ID missing for Quillmere terminate operation");
    std::vector<int> held{static_cast<int>(m_volumeId)};
    if (!tksanvol::getVolsContainedInSubClients(held))
      return answerWithText(r.answer(), "Error retrieving list of volumes used in a subclient.");
    if (std::binary_search(held.begin(), held.end(), static_cast<int>(m_volumeId)))
      return answerWithText(r.answer(),
                            "Quillmere volume cannot be terminated while it is still part of subclient's content.");
    if (!r.session.TerminateQuillmereVolume(m_server, m_volumeName)) return clientFailed(r, volumeLine("terminate", r));
    return recordState(r, kStateNotProtected, false);
  }

  RecordOutcome suspendOrResume(Record& r) {
    const bool suspend = r.context.operation == kOperationSuspend;
    const bool done = suspend ? r.session.SuspendQuillmereVolume(m_volumeName)
                              : r.session.ResumeQuillmereVolume(m_volumeName);
    if (!done) return clientFailed(r, volumeLine(suspend ? "suspend" : "resume", r));
    return recordState(r, suspend ? kStateSuspended : kStateProtected, true);
  }

  // The replicas whose physical volume is the volume; false after answering.
  bool replicasOfVolume(Record& r, std::vector<ReplicationVolumeV3Record_t>& replicas) {
    QuerySNRVolume2ByIdV3Args_t args;
    args.volumeId = m_volumeId;
    args.queryField = kQueryReplicasOfVolume;
    QuerySNRVolume2ByIdV3Ret_t ret;
    if (!r.db.QuerySNRVolume2(args, ret)) {
      answerWithText(r.answer(), ret.errorText);
      return false;
    }
    replicas = std::move(ret.replicas);
    return true;
  }

  // The history name of a volume; false after answering.
  static bool historyNameOf(Record& r, int32_t volumeId, std::string& name) {
    QueryQMGlobalHistoryNameByVolumeIdArgs_t args;
    args.volumeId = volumeId;
    QueryQMGlobalHistoryNameByVolumeIdRet_t ret;
    if (!r.db.QueryQMGlobalHistoryNameByVolId(args, ret)) {
      answerWithText(r.answer(), ret.errorText);
      return false;
    }
    name = ret.historyName.historyName;
    return true;
  }

  // Records the activation flags of a replica that was read; false after
  // answering.
  static bool recordActivation(Record& r, ReplicationVolumeV3Record_t& replica, bool active) {
    if (replica.replicaId == -1) return true;
    UpdateReplicationVolumeV3Args_t args;
    args.replica = replica;
    args.replica.snapshotActive = active;
    args.replica.activateSnapshot = true;
    UpdateReplicationVolumeV3Ret_t ret;
    if (r.db.UpdateReplicationVolume(args, ret)) return true;
    answerWithText(r.answer(), ret.errorText);
    return false;
  }

  RecordOutcome activate(Record& r) {
    if (!m_hasLocation)
      return missing(r.context, "Location missing for Quillmere volume activation",
                     "Location missing for Quillmere Volume activate operation");
    int32_t sourceVolumeId = m_volumeId;
    std::string historyName;
    ReplicationVolumeV3Record_t replica;
    if (!m_hasTimestamp) {
      std::vector<ReplicationVolumeV3Record_t> replicas;
      if (!replicasOfVolume(r, replicas)) return RecordOutcome::Failed;
      if (replicas.size() != 1) {
        EvDebug::Error(kTag, "Found %zu replicas of volume [%d]: cannot determine snapshot's source volume.",
                       replicas.size(), static_cast<int>(m_volumeId));
        return answerWithText(r.answer(), "Cannot determine snapshot's source volume");
      }
      replica = replicas.front();
      sourceVolumeId = replica.primaryVolumeId;
      if (!historyNameOf(r, sourceVolumeId, historyName)) return RecordOutcome::Failed;
    }
    if (!r.session.ActivateQMVolume(m_server, m_location, static_cast<int>(m_clientId), historyName, sourceVolumeId,
                                    m_volumeId, m_timestamp))
      return clientFailed(r, volumeIdLine("Activate", r));
    return recordActivation(r, replica, true) ? RecordOutcome::GoOn : RecordOutcome::Failed;
  }

  RecordOutcome deactivate(Record& r) {
    std::vector<ReplicationVolumeV3Record_t> replicas;
    if (!replicasOfVolume(r, replicas)) return RecordOutcome::Failed;
    ReplicationVolumeV3Record_t replica;
    if (!replicas.empty()) replica = replicas.front();
    if (!r.session.DeactivateQMVolume(m_server, static_cast<int>(m_clientId), std::string(), m_volumeId))
      return clientFailed(r, volumeIdLine("Deactivate", r));
    return recordActivation(r, replica, false) ? RecordOutcome::GoOn : RecordOutcome::Failed;
  }

  RecordOutcome rollback(Record& r) {
    if (!m_hasDifferential || !m_hasOnline)
      return missing(r.context, tksanvol::continuous::kMissingInformation, tksanvol::continuous::kMissingInformation);
    bool done = false;
    if (m_hasTimestamp) {
      done = r.session.RollbackQMVolumeFromVE(m_server, m_volumeId, static_cast<long>(m_timestamp), m_differential,
                                              m_online, m_targetVolumeId);
    } else {
      std::string historyName;
      if (!historyNameOf(r, m_volumeId, historyName)) return RecordOutcome::Failed;
      done = r.session.RollbackQMVolumeFromBrowse(m_server, historyName, m_differential, m_online, m_volumeId,
                                                  m_targetVolumeId);
    }
    if (!done)
      return clientFailed(r, formatText("Failed to rollback Quillmere volume id %d on Volume ID %d. %s",
                                        static_cast<int>(m_volumeId), static_cast<int>(m_targetVolumeId),
                                        r.reason().c_str()));
    return RecordOutcome::GoOn;
  }

  uint32_t m_clientId = 0;
  int32_t m_volumeId = 0;
  std::string m_volumeName, m_server, m_location;
  unsigned long m_timestamp = 0;
  bool m_differential = false, m_online = false;
  int32_t m_targetVolumeId = 0;
  bool m_hasClient = false, m_hasVolume = false, m_hasLocation = false, m_hasTimestamp = false,
       m_hasDifferential = false, m_hasOnline = false;
};

}  // namespace

long long EvSANVolMgr::onMsgManageQuillmereVolume(MessageInfo* request) {
  VolumeCommand handler;
  return tksanvol::runElementStream(request, tksanvol::continuous::walkOnRules(kTag), handler);
}
