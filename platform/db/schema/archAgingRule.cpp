// The aging rules of storage-policy copies, one per copy: how many days
// and cycles its data is kept, and the rule's flag bits (8: the disk space
// of the library is managed automatically). The storage-policy service
// writes them; the disk-library list procedure reports those of a policy's
// default copy. The storage-policy service adds its further columns here.
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("archAgingRule",
                       "CREATE TABLE IF NOT EXISTS \"archAgingRule\" ("
                       "\"copyId\" INTEGER PRIMARY KEY, "
                       "\"retentionDays\" INTEGER, "
                       "\"retentionCycles\" INTEGER, "
                       "\"flags\" INTEGER)");
  return true;
}();

}  // namespace
