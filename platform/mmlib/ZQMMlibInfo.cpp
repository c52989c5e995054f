// The media-management library information (see ZQMMlibInfo.h): the library
// row through the library table access, the media types of its kind from a
// fixed table, and the test controls of platform/testkit/mmlib.h.
#include "platform/mmlib/ZQMMlibInfo.h"

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmlib/ZQMMlibInfoControl.h"

namespace {

// Media types by kind of library: disk kinds take disk media, every other
// kind tape cartridges.
const std::vector<ZQMMMediaTypeInfo>& tapeMediaTypes() {
  static const std::vector<ZQMMMediaTypeInfo>* types = new std::vector<ZQMMMediaTypeInfo>{
      {1, "Data cartridge"},
      {2, "WORM cartridge"},
      {3, "Cleaning cartridge"},
  };  // lives for the whole process
  return *types;
}
const std::vector<ZQMMMediaTypeInfo>& diskMediaTypes() {
  static const std::vector<ZQMMMediaTypeInfo>* types =
      new std::vector<ZQMMMediaTypeInfo>{{20, "Disk media"}};  // lives for the whole process
  return *types;
}
bool isDiskKind(int libraryTypeId) {
  switch (libraryTypeId) {
    case 3: case 4: case 5: case 6: case 7: case 8: case 10: return true;
    default: return false;
  }
}

// Test state: scripted lists by library id and the lists not freed yet.
std::mutex g_mutex;
std::map<int, std::vector<ZQMMMediaTypeInfo>>& scripted() {
  static auto* lists = new std::map<int, std::vector<ZQMMMediaTypeInfo>>();  // lives for the whole process
  return *lists;
}
std::atomic<long> g_outstanding{0};

std::optional<std::vector<ZQMMMediaTypeInfo>> scriptedFor(int libraryId) {
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = scripted().find(libraryId);
  if (it == scripted().end()) return std::nullopt;
  return it->second;
}

}  // namespace

namespace tkmmlib {

tkjournal::Journal& journal() {
  static tkjournal::Journal* j = new tkjournal::Journal();  // lives for the whole process
  return *j;
}

void scriptMediaTypes(int libraryId, std::vector<ZQMMMediaTypeInfo> types) {
  std::lock_guard<std::mutex> guard(g_mutex);
  scripted()[libraryId] = std::move(types);
}

void clearScripts() {
  std::lock_guard<std::mutex> guard(g_mutex);
  scripted().clear();
}

long outstandingLists() { return g_outstanding.load(); }

}  // namespace tkmmlib

ZQMMMediaTypeInfo* ZQMMlibInfo::getMediaTypeList(int& count) {
  count = 0;
  tkmmlib::journal().record("getMediaTypeList", m_iLibraryId, m_iPlatformType);
  std::optional<std::vector<ZQMMMediaTypeInfo>> types = scriptedFor(m_iLibraryId);
  if (!types) {
    MMLibraryDB access;
    MMLibrary_t row;
    if (access.getInfo(m_iLibraryId, row) != 0) return nullptr;
    types = isDiskKind(row.LibraryTypeId) ? diskMediaTypes() : tapeMediaTypes();
  }
  // A list is never of size 0, so that even an empty one is a list the
  // caller owns and frees.
  auto* list = new ZQMMMediaTypeInfo[types->empty() ? 1 : types->size()];
  for (std::size_t i = 0; i < types->size(); ++i) list[i] = (*types)[i];
  g_outstanding.fetch_add(1);
  count = static_cast<int>(types->size());
  return list;
}

void ZQMMlibInfo::deleteMediaTypesList(ZQMMMediaTypeInfo* list) {
  tkmmlib::journal().record("deleteMediaTypesList", list != nullptr);
  if (list == nullptr) return;
  g_outstanding.fetch_sub(1);
  delete[] list;
}

std::string ZQMMlibInfo::getLibAliasName(DBtran* tran) {
  tkmmlib::journal().record("getLibAliasName", m_iLibraryId);
  MMLibraryDB access;
  MMLibrary_t row;
  if (access.getInfo(m_iLibraryId, row, tran) != 0) return std::string();
  std::string alias(row.AliasName, strnlen(row.AliasName, sizeof row.AliasName));
  if (alias.empty()) alias.assign(row.LibraryName, strnlen(row.LibraryName, sizeof row.LibraryName));
  return alias;
}
