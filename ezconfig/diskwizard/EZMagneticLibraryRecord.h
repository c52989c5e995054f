// The disk-library record of the setup wizard (ZQGui::EZMagneticLibrary) as
// the wizard's listing and configuration fill it from the configuration and
// from the library's storage-policy row. Texts pass through MyLocalText.
#pragma once

#include <string>

class CNMessageBase;
class ZQMACMagLib;
class ZQMACMediaConfig;
class ZQMACMountPath;
struct MMS2getArchGrpNCopyListByLibIdEZ_t;
namespace tkxml {
struct FieldDef;
}

namespace tkezconfig {

void putNumber(CNMessageBase& record, const tkxml::FieldDef& field, long long value);
void putText(CNMessageBase& record, const tkxml::FieldDef& field, const std::string& text);
// The media agent (id and host name; 0 and empty without one), the library's
// id, handle, alias, type and description.
void putLibrary(CNMessageBase& record, const ZQMACMediaConfig& config, ZQMACMagLib& library);
// The mount path's name and user name; the empty name for null.
void putMountPath(CNMessageBase& record, const ZQMACMountPath* path);
// The storage policy, its default copy and their settings.
void putPolicy(CNMessageBase& record, const MMS2getArchGrpNCopyListByLibIdEZ_t& row);

}  // namespace tkezconfig
