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
    {2048, "media agent"},
    {2049, "library"},
    {2051, "status"},
    {2052, "end of record"},
    {2220, "vendor"},
    {2221, "product"},
    {4001, "operation"},
    {4106, "Tarnfold id"},
    {4117, "count"},
    {4151, "text"},
    {8081, "library type"},
    {8213, "serial number"},
    {8251, "alias name"},
    {8273, "low watermark"},
    {11003, "object handle"},
    {11005, "firmware"},
    {11006, "unit description"},
    {11007, "controller"},
    {11008, "address"},
    {11009, "current drives"},
    {11010, "device value"},
    {11030, "OS id"},
    {11031, "description"},
    {11053, "property C"},
    {11078, "reserved"},
    {11102, "status text"},
    {11115, "controller type"},
    {11116, "icon"},
    {11149, "state B"},
    {11150, "detail"},
    {11157, "drives"},
    {11158, "pending drive paths"},
    {11159, "drive count"},
    {11160, "all drives"},
    {11162, "shown"},
    {11164, "door locked"},
    {11176, "first controller"},
    {11177, "barcode reader"},
    {11179, "auto discover"},
    {11187, "disk library type"},
    {11188, "archive-cluster library"},
    {11189, "disk library kind"},
    {11190, "archive-cluster agents"},
    {11191, "archive clusters ready"},
    {11212, "disk device kinds"},
    {11215, "local drive"},
    {11221, "database drive"},
    {11222, "agent drive"},
    {11414, "auto-config DDS"},
    {11415, "auto-config failover"},
    {11416, "attribute"},
    {11417, "volume range"},
    {11419, "disk devices of type 2"},
    {11429, "disk library of type 5"},
    {11430, "ACSLS clean pool"},
    {11431, "IP drive ids"},
    {11432, "VTL type"},
    {11433, "VTL type choice"},
    {11837, "slots"},
};

}  // namespace

const char* tagName(uint32_t tag) {
  for (const TagName& entry : kTagNames)
    if (entry.tag == tag) return entry.name;
  return nullptr;
}

}  // namespace tkconsole
