// Entity types of the audit trail and the automatic-refresh notices.
#pragma once

namespace ZqEntities {

enum EntityType : int {
  ENTITY_NONE = 0,
  ENTITY_CLIENT = 3,
  ENTITY_LIBRARY = 9,
  ENTITY_MEDIA_AGENT = 11,
  ENTITY_MOUNT_PATH = 52,
};

}  // namespace ZqEntities
