// Subclients as the handlers ask about them: which subclients' content
// holds a volume, the volume items of a replication subclient with their
// content, its replication policy, whether a subclient is deleted, and the
// names of application types. Read at each call from the subclient rows
// (APP_Application, APP_ApplicationType) and the subclient tables of
// platform/client/ClientTables.cpp.
//
//   ContentQuery query;
//   std::vector<int> subclients;
//   if (query.getSCListHavingVolId(volumeId, subclients, nullptr) != 0) ...
//
//   ReplicationSubclientConfiguration configuration(subclientId);
//   for (auto it = configuration.begin(); it != configuration.end();) {
//     int volumeId = 0; BackupContent content;
//     configuration.getNextVolItem(it, volumeId, content);
//     ... *content.begin() is the item's first content text ...
//   }
//
// Calls return 0 or an error code of platform/client/ZQClient.h; each is
// journaled in the client journal (platform/testkit/client.h) and can be
// made to fail there.
#pragma once

#include <string>
#include <vector>

class ContentQuery {
 public:
  // The live (not deleted) subclients whose content holds the volume,
  // ascending.
  int getSCListHavingVolId(int volumeId, std::vector<int>& subclients, void* tran);
};

// The content list of one volume item.
class BackupContent {
 public:
  using const_iterator = std::vector<std::string>::const_iterator;
  const_iterator begin() const { return m_entries.begin(); }
  const_iterator end() const { return m_entries.end(); }
  bool empty() const { return m_entries.empty(); }

  std::vector<std::string> m_entries;
};

class Subclient {
 public:
  explicit Subclient(int subclientId) : m_subclientId(subclientId) {}
  virtual ~Subclient() = default;
  Subclient(const Subclient&) = delete;
  Subclient& operator=(const Subclient&) = delete;

  int getSubclientId() const { return m_subclientId; }
  // Whether the subclient is marked deleted; an unknown subclient is an
  // error.
  int isDeleted(bool& deleted, void* tran);

 private:
  int m_subclientId;
};

class ReplicationSubclientConfiguration : public Subclient {
 public:
  struct VolItem {
    int volumeId = 0;
    BackupContent content;
  };
  using iterator = std::vector<VolItem>::const_iterator;

  // Reads the subclient's volume items (none when the read fails:
  // loadResult() tells).
  explicit ReplicationSubclientConfiguration(int subclientId);

  int loadResult() const { return m_loadResult; }
  iterator begin() const { return m_items.begin(); }
  iterator end() const { return m_items.end(); }
  // The item at `it`, then `it` moves on; 1 at the end.
  int getNextVolItem(iterator& it, int& volumeId, BackupContent& content) const;
  int getReplicationPolicy(int& policyId, void* tran);

 private:
  std::vector<VolItem> m_items;
  int m_loadResult = 0;
};

class AppTypeNameId {
 public:
  explicit AppTypeNameId(int appTypeId) : m_appTypeId(appTypeId) {}

  int GetAppTypeName(std::string& name, void* tran);
  // The text of the last failure.
  const std::string& getErrorString() const { return m_error; }

 private:
  int m_appTypeId;
  std::string m_error;
};

namespace tkcontent {

// Seeding (the test kit). Each returns 0 or an error code.
struct SubclientSeed {
  int id = 0;
  int clientId = 0;
  int appTypeId = 0;
  std::string name;
  int backupSetId = 0;
  int replicationPolicyId = 0;
  bool deleted = false;
};
int addSubclient(const SubclientSeed& subclient);
int addContent(int subclientId, int volumeId, const std::string& text);
int setAppTypeName(int appTypeId, const std::string& name);

}  // namespace tkcontent
