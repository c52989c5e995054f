// The tape-library wizard's policy search (see EZTapeLibraryPolicy.h).
#include "ezconfig/tapewizard/EZTapeLibraryPolicy.h"

#include "Db/Proc/MMS2getArchGrpNCopyListByLibId.h"
#include "Db/Tbl/archGroup.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace tkezconfig {
namespace {

constexpr int kPrimaryPolicyType = 1;
constexpr int kReadUncommitted = 4;

}  // namespace

PolicySearch findTapePolicy(int libraryId, const std::string& libraryName, const char* tag, TapePolicy& policy) {
  MMS2getArchGrpNCopyListByLibId list(nullptr);
  list.setIsolationType(kReadUncommitted);
  list.setValues(libraryId);
  int count = 0;
  int rc = 0;
  while ((rc = getNextRow(&list, &count, -1, 0)) == 0) {
    const MMS2getArchGrpNCopyListByLibId_t& row = *list.getDataPtr();
    policy = TapePolicy{row.groupId, row.groupName, row.copyId, row.copyName};
    ArchGroup group(nullptr);
    group.setWhere("id = %d", row.groupId);
    const int read = getOneRow(&group, false, -1, 0);
    if (read != 0) {
      EvDebug::Error(tag, "Error retrieving id[%d] from archGroup table: %s", row.groupId, DBtable::getErrorStr(read));
      return PolicySearch::kRowUnreadable;
    }
    if (group.getDataPtr()->type == kPrimaryPolicyType) return PolicySearch::kFound;
  }
  policy = TapePolicy{};
  if (rc == DB_NO_ROW) {
    EvDebug::Debug(tag, "No archGrpNCopy list returned for lib [%s].", libraryName.c_str());
    return PolicySearch::kNone;
  }
  EvDebug::Error(tag, "Error fetching archGrpNCopy list for lib [%s]. Error [%s]", libraryName.c_str(),
                 DBtable::getErrorStr(rc));
  return PolicySearch::kListFailed;
}

}  // namespace tkezconfig
