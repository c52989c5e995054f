// The setup wizard's disk-library record (see EZMagneticLibraryRecord.h).
#include "ezconfig/diskwizard/EZMagneticLibraryRecord.h"

#include "Db/Proc/MMS2getArchGrpNCopyListByLibIdEZ.h"
#include "frame/TextHelpers.h"
#include "frame/mac/ZQMACObjects.h"
#include "platform/xml/EZWizardMessages.h"

namespace tkezconfig {

using Record = ZQGui::EZMagneticLibrary;

void putNumber(CNMessageBase& record, const tkxml::FieldDef& field, long long value) {
  record.setint64(field.ordinal, field.tag, value, Record::kClassHash, field.hash);
}

void putText(CNMessageBase& record, const tkxml::FieldDef& field, const std::string& text) {
  record.setstring(field.ordinal, field.tag, MyLocalText(text), Record::kClassHash, field.hash);
}

void putLibrary(CNMessageBase& record, const ZQMACMediaConfig& config, ZQMACMagLib& library) {
  const ZQMACMediaAgent* agent = library.GetMediaAgent();
  putNumber(record, Record::kMediaAgentId, agent != nullptr ? agent->GetId() : 0);
  putText(record, Record::kMediaAgentName, agent != nullptr ? agent->GetNetHostName() : std::string());
  putNumber(record, Record::kLibraryId, library.GetId());
  putNumber(record, Record::kHandle, static_cast<long long>(config.GetHandle(&library)));
  putText(record, Record::kAliasName, library.GetAliasName());
  putNumber(record, Record::kLibraryType, library.GetMagLibType());
  putText(record, Record::kDescription, library.GetTextA(true));
}

void putMountPath(CNMessageBase& record, const ZQMACMountPath* path) {
  putText(record, Record::kMountPath, path != nullptr ? path->GetName() : std::string());
  if (path != nullptr) putText(record, Record::kUserName, path->GetUserNameString());
}

void putPolicy(CNMessageBase& record, const MMS2getArchGrpNCopyListByLibIdEZ_t& row) {
  putNumber(record, Record::kDedupCopies, row.o_NumDedupCopies);
  putNumber(record, Record::kPolicyId, row.o_ArchGroupId);
  putText(record, Record::kPolicyName, row.o_ArchGroupName);
  putNumber(record, Record::kCopyId, row.o_DefaultCopyId);
  putText(record, Record::kCopyName, row.o_DefaultCopyName);
  putNumber(record, Record::kAutoManageDisk, row.o_AutoManageDisk);
  putNumber(record, Record::kRetentionDays, row.o_RetentionDays);
  putNumber(record, Record::kDiskCapacity, row.o_DiskCapacity);
}

}  // namespace tkezconfig
