// Message classes of the replication-store library request. Their numbers
// live with the classes (platform/xml/RPStoreMessages.h); this table
// registers them.
#include "platform/xml/RPStoreMessages.h"
#include "platform/xml/Registry.h"

namespace {

template <class Message>
tkxml::ClassDef entry(std::vector<tkxml::FieldDef> fields) {
  return tkxml::ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash,
                         std::move(fields)};
}

using EVGui::IntervalWindow;
using EVGui::RPStoreLibraryInfo;
using EVGui::RPStoreLibraryReq;
using EVGui::RPStoreLibraryResp;

const tkxml::Registrar kRegistrar{
    entry<RPStoreLibraryReq>({RPStoreLibraryReq::kStore, RPStoreLibraryReq::kLibrary, RPStoreLibraryReq::kOperation,
                              RPStoreLibraryReq::kUpdateMask}),
    entry<RPStoreLibraryResp>({RPStoreLibraryResp::kStore, RPStoreLibraryResp::kLibrary}),
    entry<RPStoreLibraryInfo>({RPStoreLibraryInfo::kRPStoreId, RPStoreLibraryInfo::kStoragePolicyId,
                               RPStoreLibraryInfo::kReplicationCopyId, RPStoreLibraryInfo::kMinSpace,
                               RPStoreLibraryInfo::kMaxSpace, RPStoreLibraryInfo::kOffPeakSchedule}),
    entry<IntervalWindow>({}),
};

}  // namespace
