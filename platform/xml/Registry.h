// The class and field registry of the XML message library.
//
// Every message class is known by its namespace and class number, its class
// hash (top byte the namespace) and its name ("EVGui::GenericResp"). Every
// field of a class is known by its tag (also called its slot: the key of the
// field on the wire), its ordinal (also called its field number), its field
// hash (the same for the same field in every class) and its kind. Fields that
// hold messages name the class of those messages.
//
// The registry is data: each source file under platform/xml/registry/
// registers the classes of one area at library load through a Registrar.
//
//   const tkxml::Registrar kRegistrar{
//       {"ZQGui::GenericResp", 1, 0, 0x010003F0,
//        {{1, 1, 0x9CB015, tkxml::FieldKind::Int64},
//         {2, 2, 0xB7ECDF, tkxml::FieldKind::String}}},
//   };
//
// Where the ordinal of a field is not known, register its tag as its ordinal;
// where its tag is not known, register its ordinal as its tag (the readers
// that address such a field by one number use that number).
//
// A class may be registered by more than one file (two areas that share a
// record): identical definitions merge, new fields are added, and a definition
// that contradicts an earlier one (another class hash or name for the same
// class, another ordinal, hash, kind, element class or name for the same tag) is
// refused, logged and listed by registryProblems().
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tkxml {

enum class FieldKind {
  Int64,       // signed 64-bit number
  String,      // text (any bytes)
  PString,     // protected text: encrypted form on the wire (class pstring)
  BString,     // binary text (class bstring)
  Object,      // one nested message of the field's class
  ObjectList,  // list of messages of the field's class
  IntList,     // list of signed 64-bit numbers
};

const char* kindName(FieldKind kind);

// A field as its message class defines it. The name is what the field is
// for, in words ("library id"), as consoles and logs show it beside the tag;
// each message class gives it once, with the field's numbers. It is not on
// the wire.
struct FieldDef {
  constexpr FieldDef(unsigned tag_, unsigned ordinal_, unsigned hash_, FieldKind kind_, const char* name_ = nullptr)
      : tag(tag_), ordinal(ordinal_), hash(hash_), kind(kind_), name(name_) {}
  constexpr FieldDef(unsigned tag_, unsigned ordinal_, unsigned hash_, FieldKind kind_, unsigned ns_,
                     unsigned cls_, const char* name_ = nullptr)
      : tag(tag_), ordinal(ordinal_), hash(hash_), kind(kind_), ns(ns_), cls(cls_), name(name_) {}

  unsigned tag;
  unsigned ordinal;
  unsigned hash;
  FieldKind kind;
  unsigned ns = 0;   // class of the nested messages (Object, ObjectList)
  unsigned cls = 0;
  const char* name = nullptr;  // null: the class gives the field no name
};

struct ClassDef {
  const char* name;  // qualified name, e.g. "EVGui::MMConfigurationLockUnlockReq"
  unsigned ns;
  unsigned cls;
  unsigned classHash;
  std::vector<FieldDef> fields;
};

// A registered class as the library uses it. Immutable once published.
struct ClassInfo {
  std::string name;
  std::string element;  // element name on the wire: the name with "::" as "_"
  unsigned ns = 0;
  unsigned cls = 0;
  unsigned classHash = 0;
  std::vector<FieldDef> fields;  // ascending by tag
  // For each tag below its size: 1 + the position of the field with that
  // tag in `fields`, 0 for none. Made with the fields (indexTags).
  std::vector<unsigned char> tagIndex;

  // Small tags (most of them) are looked up in one step; inline: every
  // attribute read and every accessor call asks.
  const FieldDef* byTag(unsigned tag) const {
    if (tag < tagIndex.size()) return tagIndex[tag] != 0 ? &fields[tagIndex[tag] - 1u] : nullptr;
    return searchTag(tag);
  }
  // The field with this tag by a binary search.
  const FieldDef* searchTag(unsigned tag) const;
  // The name of the field with this tag; null for a field without a name or
  // a tag the class does not have.
  const char* fieldName(unsigned tag) const;
  // Makes tagIndex from the fields.
  void indexTags();
  // The field with this ordinal and this field hash.
  const FieldDef* byOrdinalAndHash(unsigned ordinal, unsigned hash) const;
};

using ClassInfoPtr = std::shared_ptr<const ClassInfo>;

// Adds one class. False when the definition is refused (see above).
bool registerClass(const ClassDef& def);

// Registers a table of classes at library load.
struct Registrar {
  Registrar(std::initializer_list<ClassDef> defs);
};

// The registry entry of a message class from the class's own constants
// (kName, kNamespace, kClassNumber, kClassHash) and its fields.
template <class Message>
ClassDef entryOf(std::vector<FieldDef> fields) {
  return ClassDef{Message::kName, Message::kNamespace, Message::kClassNumber, Message::kClassHash, std::move(fields)};
}

ClassInfoPtr findClass(unsigned ns, unsigned cls);
ClassInfoPtr findClassByHash(unsigned classHash);
ClassInfoPtr findClassByElement(const std::string& element);
// Every registered class, ascending by namespace and class number.
std::vector<ClassInfoPtr> allClasses();

// The element name of a class: the registered one, or "Message_<ns>_<cls>"
// for a class that is not registered.
std::string elementName(unsigned ns, unsigned cls);
// The registered name, or "<ns>:<cls>" for a class that is not registered.
std::string className(unsigned ns, unsigned cls);

// Refused definitions, and fields whose nested class is not registered.
std::vector<std::string> registryProblems();

}  // namespace tkxml
