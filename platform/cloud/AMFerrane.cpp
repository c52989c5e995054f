// The cloud-storage service stand-in: an in-memory table of storages.
#include "platform/cloud/AMFerrane.h"

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>

#include "platform/xml/CloudStorageMessages.h"

namespace tkcloud {

// Ids of the saved credentials that provisioning makes.
constexpr long long kFirstCredentialId = 9001;

namespace {

struct State {
  std::mutex mutex;
  long long nextId = 1;
  std::map<long long, StoredStorage> storages;
  std::deque<WriteBack> scripted;
};

State& state() {
  static State s;
  return s;
}

}  // namespace

void scriptWriteBack(const WriteBack& writeBack) {
  std::lock_guard<std::mutex> guard(state().mutex);
  state().scripted.push_back(writeBack);
}

std::vector<StoredStorage> storages() {
  std::lock_guard<std::mutex> guard(state().mutex);
  std::vector<StoredStorage> out;
  for (const auto& entry : state().storages) out.push_back(entry.second);
  return out;
}

void reset() {
  {
    std::lock_guard<std::mutex> guard(state().mutex);
    state().nextId = 1;
    state().storages.clear();
    state().scripted.clear();
  }
  journal().reset();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

}  // namespace tkcloud

AMFerrane::AMFerrane() = default;
AMFerrane::~AMFerrane() = default;

int AMFerrane::provisionStorage(CNMessageBase& storage, CNMessageBase& container) {
  using App::Storage;
  using Container = App::FerraneStorageContainer;
  using User = Identity::UserInfo;
  using Credential = ZqEntities::CredentialEntity;
  constexpr tkxml::FieldDef kName = Storage::kStorageName;
  constexpr tkxml::FieldDef kVendor = Storage::kVendorType;
  constexpr tkxml::FieldDef kType = Storage::kStorageType;
  constexpr tkxml::FieldDef kUser = Storage::kUser;
  constexpr tkxml::FieldDef kCredential = Storage::kCredential;
  constexpr tkxml::FieldDef kUserName = User::kUserName;
  constexpr tkxml::FieldDef kId = Credential::kId;

  CNMessageBase& user = storage.getObjectAccessor(true, false, kUser.ordinal, kUser.tag, Storage::kClassHash,
                                                  kUser.hash, kUser.ns, kUser.cls);
  CNMessageBase& credential = storage.getObjectAccessor(true, false, kCredential.ordinal, kCredential.tag,
                                                        Storage::kClassHash, kCredential.hash, kCredential.ns,
                                                        kCredential.cls);
  tkcloud::StoredStorage made;
  made.name = storage.getstring(kName.ordinal, kName.tag, Storage::kClassHash, kName.hash);
  made.vendorType = storage.getint64(kVendor.tag, Storage::kClassHash, kVendor.hash);
  made.userName = user.getstring(kUserName.ordinal, kUserName.tag, User::kClassHash, kUserName.hash);
  made.credentialId = credential.getint64(kId.tag, Credential::kClassHash, kId.hash);
  tkcloud::journal().record("provisionStorage", made.name, made.vendorType, made.userName, made.credentialId);
  tkjournal::Failure failure;
  if (tkcloud::journal().takeFailure("provisionStorage", failure)) return failure.code;

  {
    std::lock_guard<std::mutex> guard(tkcloud::state().mutex);
    tkcloud::State& s = tkcloud::state();
    made.id = s.nextId++;
    if (made.name.empty()) made.name = "ferrane-storage-" + std::to_string(made.id);
    made.vendorType = App::kFerraneStorageType;
    made.storageType = App::kFerraneStorageType;
    made.credentialId = tkcloud::kFirstCredentialId + made.id - 1;
    if (!s.scripted.empty()) {
      const tkcloud::WriteBack w = s.scripted.front();
      s.scripted.pop_front();
      if (w.name) made.name = *w.name;
      if (w.vendorType) made.vendorType = *w.vendorType;
      if (w.storageType) made.storageType = *w.storageType;
      if (w.userName) made.userName = *w.userName;
      if (w.credentialId) made.credentialId = *w.credentialId;
    }
    s.storages[made.id] = made;
  }
  storage.setstring(kName.ordinal, kName.tag, made.name, Storage::kClassHash, kName.hash);
  storage.setint64(kVendor.ordinal, kVendor.tag, made.vendorType, Storage::kClassHash, kVendor.hash);
  storage.setint64(kType.ordinal, kType.tag, made.storageType, Storage::kClassHash, kType.hash);
  user.setstring(kUserName.ordinal, kUserName.tag, made.userName, User::kClassHash, kUserName.hash);
  credential.setint64(kId.ordinal, kId.tag, made.credentialId, Credential::kClassHash, kId.hash);

  constexpr tkxml::FieldDef kStorageId = Container::kStorageId;
  constexpr tkxml::FieldDef kContainerName = Container::kStorageName;
  constexpr tkxml::FieldDef kServiceType = Container::kCloudServiceType;
  container.setint64(kStorageId.ordinal, kStorageId.tag, made.id, Container::kClassHash, kStorageId.hash);
  container.setstring(kContainerName.ordinal, kContainerName.tag, made.name, Container::kClassHash,
                      kContainerName.hash);
  container.setint64(kServiceType.ordinal, kServiceType.tag, made.storageType, Container::kClassHash,
                     kServiceType.hash);
  return 0;
}

int AMFerrane::deleteStorage(const CNMessageBase& container) {
  using Container = App::FerraneStorageContainer;
  constexpr tkxml::FieldDef kStorageId = Container::kStorageId;
  const long long id = container.getint64(kStorageId.tag, Container::kClassHash, kStorageId.hash);
  tkcloud::journal().record("deleteStorage", id);
  tkjournal::Failure failure;
  if (tkcloud::journal().takeFailure("deleteStorage", failure)) return failure.code;
  std::lock_guard<std::mutex> guard(tkcloud::state().mutex);
  return tkcloud::state().storages.erase(id) == 1 ? 0 : -1;
}

char* ArchBaseError::getEventText(int code, char* buffer, std::size_t size, unsigned long /*locale*/) {
  if (buffer == nullptr || size == 0) return buffer;
  std::snprintf(buffer, size, "The cloud storage service failed with error 0x%08X.", static_cast<unsigned>(code));
  return buffer;
}
