// The names the system makes of another object's name (MMDerivedNames.h).
#include "platform/mmdb/MMDerivedNames.h"

#include <algorithm>

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/archGroup.h"
#include "platform/db/DBValue.h"
#include "platform/db/TextWidth.h"
#include "platform/mmdb/MMCopyManagerDB.h"
#include "platform/mmdb/MMMediaConfigDB.h"

namespace tkmmdb {

std::string derivedName(std::string_view prefix, std::string_view source, std::string_view suffix,
                        std::size_t width) {
  std::string out(prefix);
  const std::size_t fixed = prefix.size() + suffix.size();
  if (fixed <= width) out.append(source.substr(0, tkdb::cutOnCharacter(source, width - fixed)));
  out.append(suffix);
  if (out.size() > width) out.resize(tkdb::cutOnCharacter(out, width));
  return out;
}

std::string drivePoolName(std::string_view agent, std::string_view tail) {
  return derivedName("DrivePool(", agent, tail, MMMediaConfigDB::nameWidth(MMStoredKind::DrivePool));
}

std::string ndmpDrivePoolName(std::string_view agent, std::string_view server) {
  return drivePoolName(agent, ", " + std::string(server) + ")");
}

std::size_t driveNameWidth() {
  return std::min(TK_TEXT_WIDTH(MMDrive_t, DriveName), MMMediaConfigDB::nameWidth(MMStoredKind::Drive));
}

std::string ndmpDriveName(int number, std::string_view server) {
  return derivedName("Drive" + std::to_string(number) + " (", server, ")", driveNameWidth());
}

std::string masterPoolName(std::string_view library, std::string_view tail) {
  return derivedName("MasterPool(", library, tail, MMMediaConfigDB::nameWidth(MMStoredKind::MasterPool));
}

std::string mediumName(std::string_view library) {
  return derivedName("", library, " medium", TK_TEXT_WIDTH(MMMedia_t, MediaName));
}

std::string folderDeviceName(std::string_view library) {
  return derivedName("", library, " device", MMMediaConfigDB::nameWidth(MMStoredKind::Device));
}

std::string copyManagerName(std::string_view agent) {
  return derivedName("Software copy manager on ", agent, "", MMCopyManagerDB::kNameWidth);
}

std::string storagePolicyName(std::string_view library) {
  return derivedName("SP_", library, "", TK_TEXT_WIDTH(ArchGroup_t, name));
}

}  // namespace tkmmdb
