// The drive pools of a tape or optical library: changes to a master drive
// pool or drive pool through the Set loop of HandlerSkeleton.h, and the
// creation of an empty master pool (in a library) or drive pool (in a
// master pool, for one media agent) from a fixed payload.
//
// Set (operation 3 only, 11003 required): an unknown handle, or one of
// another kind of object, changes nothing and answers "Success". Each
// change runs only when its element came, in the order name, proxy client
// host (11019), copy manager (11132), cost category (11217); a refused step
// ends the request with the pool's reason and keeps the earlier steps. The
// steps of one record are stored in one commit: a record is kept whole or
// not at all.
//
// Add: the pool is stored and taken into the instance by the library; a
// pool the library refuses is freed and its reason answered with status
// 0. A request whose instance, handle or media agent is missing creates
// nothing and answers "Success".
#include <cstdint>
#include <memory>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MediaConfigContainer.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/reply/EvReturnData.h"

namespace {

using tkmm::SetOutcome;

constexpr const char* kTagMaster = "EvMMConfigMgr::onMsgSetMMMasterDrivePool";
constexpr const char* kTagPool = "EvMMConfigMgr::onMsgSetMMDrivePool";
constexpr const char* kTagAddMaster = "EvMMConfigMgr::onMsgAddMasterDrivePool";
constexpr const char* kTagAddPool = "EvMMConfigMgr::onMsgAddDrivePool";

constexpr uint32_t kOpModify = 3;
constexpr uint32_t kOpAdd = 1;

constexpr uint32_t kElementMasterName = tktag::kMasterName;
constexpr uint32_t kElementPoolName = tktag::kPoolName;
constexpr uint32_t kElementProxyHost = tktag::kProxyClientHost;  // [u32 id][text]
constexpr uint32_t kElementCopyManager = tktag::kCopyManager;
constexpr uint32_t kElementCostCategory = tktag::kCostCategory;
constexpr uint32_t kElementsIgnored[] = {tktag::kLibraryId, tktag::kUnused8259, tktag::kVaultLock};

// Fixed payload of the Add requests: the handle, then (drive pool) the
// media agent's id in the second word of the element-stream area.
constexpr std::size_t kAtMediaAgentId = 12;

template <class T>
using Value = tkmm::ElementValue<T>;

bool ignored(uint32_t type) {
  for (uint32_t t : kElementsIgnored)
    if (t == type) return true;
  return false;
}

// A u32 of the request as the model's int, never negative.
int modelInt(uint32_t value) { return static_cast<int>(value > INT32_MAX ? INT32_MAX : value); }

// Set master drive pool and Set drive pool share the loop; the drive pool
// takes three more elements.
class PoolRequest : public tkmm::SetRecordHandler {
 public:
  explicit PoolRequest(bool drivePool) : m_drivePool(drivePool) {}

  bool servesOperation(uint32_t operation) const override { return operation == kOpModify; }

  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type == (m_drivePool ? kElementPoolName : kElementMasterName)) {
      m_name.set(MessageWalker::readText(value, length));
      return true;
    }
    if (m_drivePool) {
      switch (type) {
        case kElementProxyHost:
          m_proxyHost.set(length < sizeof(uint32_t) ? std::string() : MessageWalker::readPairText(value, length));
          return true;
        case kElementCopyManager: m_copyManager.set(MessageWalker::readU32(value, length)); return true;
        case kElementCostCategory: m_costCategory.set(MessageWalker::readU32(value, length)); return true;
        default: break;
      }
    }
    return ignored(type);
  }

  SetOutcome apply(const tkmm::SetRecord& record) override {
    ZQMACBase::SetLocale(EvReturnData::returnLocaleId(record.request.sequenceNumber));
    if (!m_drivePool) {
      ZQMACMasterDrivePool* master = record.object<ZQMACMasterDrivePool>();
      if (master != nullptr && m_name.has && !master->SetName(m_name.value)) return SetOutcome::lastError(*master);
      return SetOutcome::success();
    }
    ZQMACDrivePool* pool = record.object<ZQMACDrivePool>();
    if (pool == nullptr) return SetOutcome::success();
    // The steps of one record commit together, a refused one with those
    // before it, as the session keeps them.
    return tkmm::storedAsKept(kTagPool, "the drive pool's changes", {pool}, [&] { return modifyPool(pool); });
  }

 private:
  SetOutcome modifyPool(ZQMACDrivePool* pool) {
    if (m_name.has && !pool->SetName(m_name.value)) return SetOutcome::lastError(*pool);
    if (m_proxyHost.has && !pool->SetProxyClientHost(m_proxyHost.value)) return SetOutcome::lastError(*pool);
    if (m_copyManager.has && !pool->SetCopyManagerId(modelInt(m_copyManager.value))) return SetOutcome::lastError(*pool);
    if (m_costCategory.has && !pool->SetCostCategoryId(modelInt(m_costCategory.value)))
      return SetOutcome::lastError(*pool);
    return SetOutcome::success();
  }

  bool m_drivePool;
  Value<std::string> m_name;
  Value<std::string> m_proxyHost;
  Value<uint32_t> m_copyManager;
  Value<uint32_t> m_costCategory;
};

bool answer(const MessageInfo& request, unsigned long status, const std::string& text) {
  EvMMConfigMgr::sendOperationResponse(request.sequenceNumber, request.socket, kOpAdd, status, text.c_str(), 0);
  return status == 1;
}

// The pool's reason when the library refused it, read before it is freed.
std::string refusal(const ZQMACBase& pool, const ZQMACBase& library) {
  return !pool.GetLastError().empty() ? pool.GetLastError() : library.GetLastError();
}

}  // namespace

bool EvMMConfigMgr::onMsgSetMMMasterDrivePool(MessageInfo* request) {
  PoolRequest handler(false);
  return tkmm::runSet(request, kTagMaster, handler);
}

bool EvMMConfigMgr::onMsgSetMMDrivePool(MessageInfo* request) {
  PoolRequest handler(true);
  return tkmm::runSet(request, kTagPool, handler);
}

bool EvMMConfigMgr::onMsgAddMasterDrivePool(MessageInfo* request) {
  MediaConfigPin pin;
  ZQMACMediaConfig* config = GetCurrentMediaConfig(request, false, pin);
  if (request == nullptr) {
    EvDebug::Debug(kTagAddMaster, "%s", "Bad Parameter Received.");
    return false;
  }
  ZQMACBase::SetLocale(EvReturnData::returnLocaleId(request->sequenceNumber));
  ZQMACLms* lms = config != nullptr ? config->FindObject<ZQMACLms>(request->objectHandle) : nullptr;
  if (lms == nullptr) return answer(*request, 1, "Success");
  auto master = std::make_unique<ZQMACMasterDrivePool>();
  lms->ClearLastError();
  if (!lms->AddMasterDrivePool(master.get())) {
    return answer(*request, 0, refusal(*master, *lms));
  }
  master.release()->SetCreatedByUser(true);  // the instance owns it now
  return answer(*request, 1, "Success");
}

bool EvMMConfigMgr::onMsgAddDrivePool(MessageInfo* request) {
  MediaConfigPin pin;
  ZQMACMediaConfig* config = GetCurrentMediaConfig(request, false, pin);
  if (request == nullptr) {
    EvDebug::Debug(kTagAddPool, "%s", "Bad Parameter Received.");
    return false;
  }
  ZQMACBase::SetLocale(EvReturnData::returnLocaleId(request->sequenceNumber));
  ZQMACMasterDrivePool* master =
      config != nullptr ? config->FindObject<ZQMACMasterDrivePool>(request->objectHandle) : nullptr;
  const uint32_t agentId = request->payloadWord(kAtMediaAgentId);
  ZQMACMediaAgent* agent =
      master != nullptr && agentId <= INT32_MAX ? config->FindDBNode<ZQMACMediaAgent>(static_cast<int>(agentId)) : nullptr;
  if (agent == nullptr) return answer(*request, 1, "Success");
  auto pool = std::make_unique<ZQMACDrivePool>();
  pool->SetMediaAgent(agent);
  if (pool->SetMasterDrivePool(master) != 1) return answer(*request, 0, pool->GetLastError());
  ZQMACLms* lms = master->GetLms();
  lms->ClearLastError();
  if (!lms->AddDrivePool(pool.get())) {
    return answer(*request, 0, refusal(*pool, *lms));
  }
  pool.release()->SetCreatedByUser(true);  // the instance owns it now
  return answer(*request, 1, "Success");
}
