// The list items that the NAS-client configuration interface hands to its
// callers: media agents, storage policies and NAS clients, each with private
// heap copies of its texts (strdup'ed, released with free).
//
//   NasClientItem item;
//   item.SetName("filer1");
//   item.SetProxyMediaAgent("ma1");
//   if (item.IsDeleted()) ...
//
// Items own their texts, so they cannot be copied or moved (a copy would
// free a text twice); they live in arrays that the interface owns. The
// setters accept their own current text: the new copy is made before the
// old one goes. A failed copy leaves the field null.
#pragma once

#include <cstdint>

class NameIdItem {
 public:
  NameIdItem() = default;
  // Copies the name (null stays null).
  NameIdItem(const char* name, int id);
  ~NameIdItem();
  NameIdItem(const NameIdItem&) = delete;
  NameIdItem& operator=(const NameIdItem&) = delete;

  // Replaces the name with a copy of `name` (null allowed) and returns the
  // stored copy.
  const char* SetName(const char* name);
  int SetId(int id) { return this->id = id; }
  const char* GetName() const { return name; }
  int GetId() const { return id; }

 protected:
  // Replaces `*field` with a copy of `text`; the copy is made first.
  static const char* replaceText(char*& field, const char* text);

  char* name = nullptr;
  int32_t id = -1;
};

class NameIdTypeItem : public NameIdItem {
 public:
  NameIdTypeItem() = default;
  NameIdTypeItem(const char* name, int id, int type) : NameIdItem(name, id), type(type) {}

  int SetType(int type) { return this->type = type; }
  int GetType() const { return type; }

 protected:
  int32_t type = -1;
};

class NameIdHostItem : public NameIdItem {
 public:
  NameIdHostItem() = default;
  NameIdHostItem(const char* name, int id, const char* host);
  ~NameIdHostItem();

  const char* SetHostname(const char* host) { return replaceText(hostName, host); }
  const char* GetHostname() const { return hostName; }

 protected:
  char* hostName = nullptr;
};

// A media agent: name, id, host name.
class NasMediaAgentItem : public NameIdHostItem {};

// A storage policy: name, id, type.
class StoragePolicyItem : public NameIdTypeItem {};

// A NAS client: the host slot holds its proxy media agent.
class NasClientItem : public NameIdHostItem {
 public:
  const char* SetProxyMediaAgent(const char* proxy) { return SetHostname(proxy); }
  const char* GetProxyMediaAgent() const { return GetHostname(); }
  void SetDeleted() { deleted = true; }
  void SetNotDeleted() { deleted = false; }
  bool IsDeleted() const { return deleted; }

 private:
  bool deleted = false;
};
