// Message classes of the tape-library setup wizard. Their numbers live with
// the classes (platform/xml/EZTapeWizardMessages.h); this table registers
// them.
#include "platform/xml/EZTapeWizardMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;
using namespace ZQGui;
using L = EZTapeLibrary;
using D = EZTapeDrive;

const tkxml::Registrar kRegistrar{
    entryOf<IdName>({IdName::kId, IdName::kIdName}),
    entryOf<EZTapeDrive>({D::kDriveId, D::kHandle, D::kIconId, D::kDriveName, D::kDescription}),
    entryOf<EZTapeLibrary>({L::kLibraryId, L::kHandle, L::kIconId, L::kLibraryName, L::kPolicyId, L::kPolicyName,
                            L::kDriveIdsPresent, L::kConfigured, L::kStandAlone, L::kControllerFlag, L::kDrives,
                            L::kRetentionDays, L::kDescription}),
    entryOf<EZGetTapeLibrariesReq>(
        {EZGetTapeLibrariesReq::kMediaAgentIds, EZGetTapeLibrariesReq::kMediaAgents, EZGetTapeLibrariesReq::kDetect}),
    entryOf<EZGetTapeLibrariesResp>({EZGetTapeLibrariesResp::kLibraries}),
    entryOf<EZConfigureTapeLibraryReq>({EZConfigureTapeLibraryReq::kLibrary, EZConfigureTapeLibraryReq::kSecondLibrary,
                                        EZConfigureTapeLibraryReq::kConfigure}),
    entryOf<EZConfigureTapeLibraryDrivesReq>({EZConfigureTapeLibraryDrivesReq::kDrives}),
    entryOf<EZSetTapeLibraryAliasNameReq>(
        {EZSetTapeLibraryAliasNameReq::kAliasName, EZSetTapeLibraryAliasNameReq::kHandle}),
};

}  // namespace
