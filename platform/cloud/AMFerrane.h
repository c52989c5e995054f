// The Ferrane cloud-storage service as the handlers use it: provisioning a
// cloud storage that an App::Storage message describes, and deleting it
// again through the container that provisioning filled. ArchBaseError turns
// the service's codes into texts.
//
// The stand-in keeps the provisioned storages in memory (the real service
// is remote). Without a script, provisioning succeeds: it gives the storage
// the next id, keeps the name (a generated one when the message has none),
// sets vendor and storage type to 400, keeps the user name and gives the
// storage a saved credential. Tests script what is written back, inject
// codes and read the journal (platform/testkit/cloud.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/journal/Journal.h"

class CNMessageBase;

class AMFerrane {
 public:
  AMFerrane();
  ~AMFerrane();
  AMFerrane(const AMFerrane&) = delete;
  AMFerrane& operator=(const AMFerrane&) = delete;

  // Creates the storage that `storage` (an App::Storage) describes, fills
  // `container` (an App::FerraneStorageContainer) and writes the results
  // back into `storage`: its name (tag 2), vendor type (tag 8), storage type
  // (tag 11), the user name of its user (tag 6) and the id of its credential
  // (tag 7). 0 on success; else a code of the service, and nothing is made.
  int provisionStorage(CNMessageBase& storage, CNMessageBase& container);
  // Deletes the storage that the container names. 0 on success.
  int deleteStorage(const CNMessageBase& container);

 private:
  std::string m_texts[5];
};

class ArchBaseError {
 public:
  // The text of a code of the cloud-storage service into `buffer` (cut to
  // fit, always terminated); returns `buffer`.
  static char* getEventText(int code, char* buffer, std::size_t size, unsigned long locale);
};

namespace tkcloud {

// A provisioned storage.
struct StoredStorage {
  long long id = 0;
  std::string name;
  long long vendorType = 0;
  long long storageType = 0;
  std::string userName;
  long long credentialId = 0;
};

// What the next provisioning writes back instead of its defaults (fields
// left empty keep the default).
struct WriteBack {
  std::optional<std::string> name;
  std::optional<long long> vendorType;
  std::optional<long long> storageType;
  std::optional<std::string> userName;
  std::optional<long long> credentialId;
};

void scriptWriteBack(const WriteBack& writeBack);
std::vector<StoredStorage> storages();
void reset();

// Calls: "provisionStorage" (name, vendor type, user name, credential id),
// "deleteStorage" (storage id). An injected failure's code is the call's
// result; nothing is made or deleted then.
tkjournal::Journal& journal();

}  // namespace tkcloud
