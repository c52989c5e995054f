// Test control of the Ferrane cloud-storage service.
//
//   testkit::cloud::reset();
//   testkit::cloud::WriteBack w;  w.name = "bucket-7";  w.credentialId = 44;
//   testkit::cloud::scriptWriteBack(w);           // what the next provisioning writes back
//   testkit::cloud::journal().injectFailure("provisionStorage", 0x7001, "quota");
//   ... code under test ...
//   auto left = testkit::cloud::storages();       // the storages that exist now
//
// Journal names and arguments are listed in platform/cloud/AMFerrane.h.
#pragma once

#include "platform/cloud/AMFerrane.h"

namespace testkit::cloud {

using StoredStorage = tkcloud::StoredStorage;
using WriteBack = tkcloud::WriteBack;

inline void scriptWriteBack(const WriteBack& writeBack) { tkcloud::scriptWriteBack(writeBack); }
inline std::vector<StoredStorage> storages() { return tkcloud::storages(); }
inline tkjournal::Journal& journal() { return tkcloud::journal(); }
inline void reset() { tkcloud::reset(); }

}  // namespace testkit::cloud
