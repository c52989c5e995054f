#include "tests/support/ReferenceCheck.h"

#include "tests/support/StoreCheck.h"

namespace tktest {

std::string danglingReferences() {
  // Every fault-sweep run calls this twice: the whole check is two
  // statements, the columns of every table and one count per reference.
  return danglingReferencesIn(sessionQuery);
}

}  // namespace tktest
