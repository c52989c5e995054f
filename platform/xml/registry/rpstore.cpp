// Message classes of the replication-store library request. Their numbers
// live with the classes (platform/xml/RPStoreMessages.h); this table
// registers them.
#include "platform/xml/RPStoreMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;

using EVGui::IntervalWindow;
using EVGui::RPStoreLibraryInfo;
using EVGui::RPStoreLibraryReq;
using EVGui::RPStoreLibraryResp;

const tkxml::Registrar kRegistrar{
    entryOf<RPStoreLibraryReq>({RPStoreLibraryReq::kStore, RPStoreLibraryReq::kLibrary, RPStoreLibraryReq::kOperation,
                                RPStoreLibraryReq::kUpdateMask}),
    entryOf<RPStoreLibraryResp>({RPStoreLibraryResp::kStore, RPStoreLibraryResp::kLibrary}),
    entryOf<RPStoreLibraryInfo>({RPStoreLibraryInfo::kRPStoreId, RPStoreLibraryInfo::kStoragePolicyId,
                                 RPStoreLibraryInfo::kReplicationCopyId, RPStoreLibraryInfo::kMinSpace,
                                 RPStoreLibraryInfo::kMaxSpace, RPStoreLibraryInfo::kOffPeakSchedule}),
    entryOf<IntervalWindow>({}),
};

}  // namespace
