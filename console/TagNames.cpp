#include "console/TagNames.h"

namespace tkconsole {
namespace {

struct TagName {
  uint32_t tag;
  const char* name;
};

// One line per tag; keep the table sorted by tag.
const TagName kTagNames[] = {
    {2036, "value"},
    {2051, "status"},
    {2052, "end of record"},
    {4001, "operation"},
    {4106, "Tarnfold id"},
    {4117, "count"},
    {4151, "text"},
    {11003, "object handle"},
    {11102, "status text"},
};

}  // namespace

const char* tagName(uint32_t tag) {
  for (const TagName& entry : kTagNames)
    if (entry.tag == tag) return entry.name;
  return nullptr;
}

}  // namespace tkconsole
