// Message classes of the disk-library setup wizard. Their numbers live with
// the classes (platform/xml/EZWizardMessages.h); this table registers them.
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/Registry.h"

namespace {

using tkxml::entryOf;

using ZQGui::EZConfigureMagneticLibraryReq;
using ZQGui::EZConfigureMagneticLibraryResp;
using ZQGui::EZGetMagneticLibrariesReq;
using ZQGui::EZGetMagneticLibrariesResp;
using ZQGui::EZMagneticLibrary;
using L = EZMagneticLibrary;

const tkxml::Registrar kRegistrar{
    entryOf<EZMagneticLibrary>({L::kLibraryId, L::kHandle, L::kMediaAgentName, L::kMediaAgentId, L::kAliasName,
                                L::kLibraryType, L::kPolicyId, L::kPolicyName, L::kCopyId, L::kCopyName,
                                L::kMountPath, L::kUserName, L::kPassword, L::kAutoManageDisk, L::kDiskCapacity,
                                L::kRetentionDays, L::kDescription, L::kDedupCopies}),
    entryOf<EZConfigureMagneticLibraryReq>({EZConfigureMagneticLibraryReq::kLibrary,
                                            EZConfigureMagneticLibraryReq::kUpdateMountPath,
                                            EZConfigureMagneticLibraryReq::kPolicyOption}),
    entryOf<EZConfigureMagneticLibraryResp>({EZConfigureMagneticLibraryResp::kLibrary}),
    entryOf<EZGetMagneticLibrariesReq>({EZGetMagneticLibrariesReq::kMediaAgentIds}),
    entryOf<EZGetMagneticLibrariesResp>({EZGetMagneticLibrariesResp::kLibraries}),
};

}  // namespace
