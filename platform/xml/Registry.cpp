#include "platform/xml/Registry.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "platform/xml/detail/ClassLookup.h"
#include "platform/xml/detail/Diagnostics.h"

namespace tkxml {
namespace {

unsigned long long key(unsigned ns, unsigned cls) { return (static_cast<unsigned long long>(ns) << 32) | cls; }

struct RegistryState {
  std::shared_mutex mutex;
  std::map<unsigned long long, ClassInfoPtr> byKey;  // ordered: allClasses() walks it
  std::unordered_map<unsigned, ClassInfoPtr> byHash;
  std::unordered_map<std::string, ClassInfoPtr> byElement;
  // Every entry ever published, so that a plain pointer to one stays valid
  // after a merge replaced it (messages laid out by it may still be alive).
  std::vector<ClassInfoPtr> published;
};

RegistryState& registry() {
  static RegistryState* r = new RegistryState();  // never destroyed: used until exit
  return *r;
}

std::string hex(unsigned value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", value);
  return buffer;
}

std::string toElement(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == ':' && i + 1 < name.size() && name[i + 1] == ':') {
      out.push_back('_');
      ++i;
    } else {
      out.push_back(name[i]);
    }
  }
  return out;
}

bool validElementName(const std::string& element) {
  if (element.empty() || element == "list" || element.rfind("Message_", 0) == 0) return false;
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!letter(element[0])) return false;
  for (char c : element) {
    if (!letter(c) && !(c >= '0' && c <= '9') && c != '-' && c != '.') return false;
  }
  return true;
}

bool sameName(const char* a, const char* b) {
  return a == b || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0);
}

bool sameField(const FieldDef& a, const FieldDef& b) {
  return a.tag == b.tag && a.ordinal == b.ordinal && a.hash == b.hash && a.kind == b.kind && a.ns == b.ns &&
         a.cls == b.cls && sameName(a.name, b.name);
}

std::string describeField(const FieldDef& f) {
  std::string text = "tag " + std::to_string(f.tag) + " ordinal " + std::to_string(f.ordinal) + " hash " +
                     std::to_string(f.hash) + " " + kindName(f.kind);
  if (f.name != nullptr) text += std::string(" \"") + f.name + "\"";
  if (f.kind == FieldKind::Object || f.kind == FieldKind::ObjectList) {
    text += " of " + std::to_string(f.ns) + ":" + std::to_string(f.cls);
  }
  return text;
}

bool refuse(const ClassDef& def, const std::string& why) {
  detail::noteRegistryProblem(std::string("class ") + (def.name != nullptr ? def.name : "(null)") + " (" +
                              std::to_string(def.ns) + ":" + std::to_string(def.cls) + ", " +
                              hex(def.classHash) + ") refused: " + why);
  return false;
}

}  // namespace

const char* kindName(FieldKind kind) {
  switch (kind) {
    case FieldKind::Int64: return "int64";
    case FieldKind::String: return "string";
    case FieldKind::PString: return "pstring";
    case FieldKind::BString: return "bstring";
    case FieldKind::Object: return "object";
    case FieldKind::ObjectList: return "object list";
    case FieldKind::IntList: return "int list";
  }
  return "unknown";
}

void ClassInfo::indexTags() {
  // Tags below 64 cover nearly every field; a position must fit the index's
  // byte (tags ascend and are unique, so a tag below 64 is among the first 64).
  constexpr unsigned kIndexedTags = 64;
  tagIndex.clear();
  for (std::size_t i = 0; i < fields.size() && fields[i].tag < kIndexedTags; ++i) {
    tagIndex.resize(fields[i].tag + 1u, 0);
    tagIndex[fields[i].tag] = static_cast<unsigned char>(i + 1);
  }
}

const FieldDef* ClassInfo::searchTag(unsigned tag) const {
  auto it = std::lower_bound(fields.begin(), fields.end(), tag,
                             [](const FieldDef& f, unsigned t) { return f.tag < t; });
  return it != fields.end() && it->tag == tag ? &*it : nullptr;
}

const char* ClassInfo::fieldName(unsigned tag) const {
  const FieldDef* field = byTag(tag);
  return field != nullptr ? field->name : nullptr;
}

const FieldDef* ClassInfo::byOrdinalAndHash(unsigned ordinal, unsigned hash) const {
  for (const FieldDef& f : fields) {
    if (f.ordinal == ordinal && f.hash == hash) return &f;
  }
  return nullptr;
}

bool registerClass(const ClassDef& def) {
  if (def.name == nullptr) return refuse(def, "no name");
  if ((def.classHash >> 24) != def.ns) return refuse(def, "the top byte of the class hash is not the namespace");
  std::string element = toElement(def.name);
  if (!validElementName(element)) return refuse(def, "the name does not make an element name");

  std::vector<FieldDef> fields;
  for (const FieldDef& f : def.fields) {
    bool nested = f.kind == FieldKind::Object || f.kind == FieldKind::ObjectList;
    if (!nested && (f.ns != 0 || f.cls != 0)) return refuse(def, "a value field names a class: " + describeField(f));
    auto same = std::find_if(fields.begin(), fields.end(), [&](const FieldDef& g) { return g.tag == f.tag; });
    if (same != fields.end()) {
      if (!sameField(*same, f)) return refuse(def, "two fields with tag " + std::to_string(f.tag));
      continue;
    }
    fields.push_back(f);
  }

  RegistryState& r = registry();
  std::unique_lock<std::shared_mutex> guard(r.mutex);
  auto existing = r.byKey.find(key(def.ns, def.cls));
  if (existing != r.byKey.end()) {
    const ClassInfo& old = *existing->second;
    if (old.name != def.name || old.classHash != def.classHash) {
      return refuse(def, "already registered as " + old.name + " with class hash " + hex(old.classHash));
    }
    for (const FieldDef& f : old.fields) {
      auto same = std::find_if(fields.begin(), fields.end(), [&](const FieldDef& g) { return g.tag == f.tag; });
      if (same == fields.end()) {
        fields.push_back(f);
      } else if (!sameField(*same, f)) {
        return refuse(def, "field " + describeField(*same) + " contradicts the registered " + describeField(f));
      }
    }
  } else {
    auto byHash = r.byHash.find(def.classHash);
    if (byHash != r.byHash.end()) return refuse(def, "class hash already used by " + byHash->second->name);
    auto byElement = r.byElement.find(element);
    if (byElement != r.byElement.end()) return refuse(def, "element name already used by " + byElement->second->name);
  }

  std::sort(fields.begin(), fields.end(), [](const FieldDef& a, const FieldDef& b) { return a.tag < b.tag; });
  auto info = std::make_shared<ClassInfo>();
  info->name = def.name;
  info->element = element;
  info->ns = def.ns;
  info->cls = def.cls;
  info->classHash = def.classHash;
  info->fields = std::move(fields);
  info->indexTags();
  ClassInfoPtr published = info;
  r.byKey[key(def.ns, def.cls)] = published;
  r.byHash[def.classHash] = published;
  r.byElement[element] = published;
  r.published.push_back(published);
  detail::g_registryGeneration.fetch_add(1, std::memory_order_release);
  return true;
}

Registrar::Registrar(std::initializer_list<ClassDef> defs) {
  for (const ClassDef& def : defs) registerClass(def);
}

ClassInfoPtr findClass(unsigned ns, unsigned cls) {
  RegistryState& r = registry();
  std::shared_lock<std::shared_mutex> guard(r.mutex);
  auto it = r.byKey.find(key(ns, cls));
  return it != r.byKey.end() ? it->second : nullptr;
}

namespace detail {

const ClassInfo* classOf(unsigned ns, unsigned cls) {
  // Every accessor call and every element read looks its class up: a small
  // cache per thread spares them the registry's lock. An entry is good while
  // nothing was published since it was filled.
  struct Entry {
    unsigned long long key = ~0ull;
    unsigned long long generation = ~0ull;
    const ClassInfo* info = nullptr;
  };
  thread_local Entry cache[16];
  RegistryState& r = registry();
  const unsigned long long k = key(ns, cls);
  const unsigned long long generation = registryGeneration();
  Entry& e = cache[(ns * 31u + cls) % 16u];
  if (e.key == k && e.generation == generation) return e.info;
  std::shared_lock<std::shared_mutex> guard(r.mutex);
  auto it = r.byKey.find(k);
  e = Entry{k, generation, it != r.byKey.end() ? it->second.get() : nullptr};
  return e.info;
}

}  // namespace detail

ClassInfoPtr findClassByHash(unsigned classHash) {
  RegistryState& r = registry();
  std::shared_lock<std::shared_mutex> guard(r.mutex);
  auto it = r.byHash.find(classHash);
  return it != r.byHash.end() ? it->second : nullptr;
}

ClassInfoPtr findClassByElement(const std::string& element) {
  RegistryState& r = registry();
  std::shared_lock<std::shared_mutex> guard(r.mutex);
  auto it = r.byElement.find(element);
  return it != r.byElement.end() ? it->second : nullptr;
}

std::vector<ClassInfoPtr> allClasses() {
  RegistryState& r = registry();
  std::shared_lock<std::shared_mutex> guard(r.mutex);
  std::vector<ClassInfoPtr> out;
  out.reserve(r.byKey.size());
  for (const auto& [k, info] : r.byKey) out.push_back(info);
  return out;
}

std::string elementName(unsigned ns, unsigned cls) {
  ClassInfoPtr info = findClass(ns, cls);
  if (info) return info->element;
  return "Message_" + std::to_string(ns) + "_" + std::to_string(cls);
}

std::string className(unsigned ns, unsigned cls) {
  ClassInfoPtr info = findClass(ns, cls);
  if (info) return info->name;
  return std::to_string(ns) + ":" + std::to_string(cls);
}

std::vector<std::string> registryProblems() {
  std::vector<std::string> problems = detail::registryProblemsNoted();
  for (const ClassInfoPtr& info : allClasses()) {
    for (const FieldDef& f : info->fields) {
      bool nested = f.kind == FieldKind::Object || f.kind == FieldKind::ObjectList;
      if (nested && !findClass(f.ns, f.cls)) {
        problems.push_back("class " + info->name + " field tag " + std::to_string(f.tag) + " names class " +
                           std::to_string(f.ns) + ":" + std::to_string(f.cls) + ", which is not registered");
      }
    }
  }
  return problems;
}

}  // namespace tkxml
