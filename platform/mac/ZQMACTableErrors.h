// The model's last-error code for a refusal of the table access: the one
// mapping from a table-access code (MMS2ErrorCode, platform/mmdb/MMBaseDB.h)
// to a model code that every writer of the model goes by, so that the same
// refusal reads the same whichever object or route met it.
//
//   MMS2_ERROR_DUPLICATE_NAME   kErrorNameInUse, or the kind's own code for
//                               a name in use (a disk library, a mount path)
//   MMS2_ERROR_NOT_FOUND        kErrorObjectGone: the row went meanwhile
//   MMS2_ERROR_BAD_ARGUMENT,
//   MMS2_ERROR_TEXT_TOO_LONG    kErrorInvalidValue: the value is refused
//   anything else               kErrorDatabase
//
// The text stays the table access's own (lastErrorText).
#pragma once

#include "platform/mac/ZQMACPlatform.h"
#include "platform/mmdb/MMBaseDB.h"

namespace tkmac {

inline unsigned int modelErrorOf(const MMS2BaseError& access, unsigned int nameInUse = kErrorNameInUse) {
  switch (access.getErrorCode()) {
    case MMS2_ERROR_DUPLICATE_NAME: return nameInUse;
    case MMS2_ERROR_NOT_FOUND: return kErrorObjectGone;
    case MMS2_ERROR_BAD_ARGUMENT:
    case MMS2_ERROR_TEXT_TOO_LONG: return kErrorInvalidValue;
    default: return kErrorDatabase;
  }
}

}  // namespace tkmac
