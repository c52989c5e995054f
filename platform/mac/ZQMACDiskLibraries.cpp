// The object model's calls behind the disk-library request: a new disk
// library is built unowned and stored by Configure, which names it and
// hands it to its configuration; a stored library's alias, low watermark
// and attribute word are written through to the database before the object
// changes.
//
// Journal names (each can be made to fail, the code and text then the
// library's last error): "SetAliasName" (handle, alias), "SetLowWatermark"
// (handle, value), "SetLibAttributeFlag" (handle, word); Configure is
// journalled as every object's ("Configure").
#include <string>

#include "frame/mac/ZQMACObjects.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/mac/ZQMACGraph.h"
#include "platform/mac/ZQMACPlatform.h"
#include "platform/mac/ZQMACTableErrors.h"
#include "platform/mmdb/MMDerivedNames.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMMediaConfigDB.h"
#include "platform/tran/StoreStep.h"

namespace {

// The first "DiskLibrary_<n>" that no library of the instance carries and,
// in a database-backed instance, that no stored library answers to (the
// libraries' name rule): a name picked for the console is one it can use.
std::string freeLibraryName(const ZQMACMediaConfig& config) {
  ZQMACLinkedList<ZQMACMagLib> libraries = config.GetMagLibList();
  const bool stored = ZQMACGraph::IsDatabaseBacked(config);
  for (int n = 1;; ++n) {
    const std::string name = "DiskLibrary_" + std::to_string(n);
    bool taken = false;
    for (ZQMACMagLib* l = libraries.GetFirstNode(); l != nullptr && !taken; l = libraries.GetNextNode())
      taken = l->GetName() == name || l->GetAliasName() == name;
    // A failed read leaves the name to the insert, which asks again.
    if (!taken && stored) {
      tkdb::Session s;
      taken = tkmmdb::libraryNameTaken(s, name, 0) == DB_OK;
    }
    if (!taken) return name;
  }
}

}  // namespace

bool ZQMACMagLib::SetAliasName(const std::string& alias) {
  tkmac::journal().record("SetAliasName", GetHandle(), alias);
  if (tkmac::failed(*this, "SetAliasName")) return false;
  if (GetOwner() != nullptr && !alias.empty() && !ZQMACGraph::StoreObject(this, &alias, -1)) return false;
  m_sAliasName = alias;
  return true;
}

bool ZQMACMagLib::SetLowWatermark(int megabytes) {
  tkmac::journal().record("SetLowWatermark", GetHandle(), megabytes);
  if (tkmac::failed(*this, "SetLowWatermark")) return false;
  if (GetOwner() != nullptr && !ZQMACGraph::StoreSetting(this, "LowWaterMarkMB", megabytes)) return false;
  m_iLowWatermark = megabytes;
  return true;
}

bool ZQMACMagLib::SetLibAttributeFlag(int word) {
  tkmac::journal().record("SetLibAttributeFlag", GetHandle(), word);
  if (tkmac::failed(*this, "SetLibAttributeFlag")) return false;
  if (GetOwner() != nullptr && !ZQMACGraph::StoreSetting(this, "LibraryAttribute", word)) return false;
  m_iAttribute = word;
  return true;
}

void ZQMACMagLib::SetMagLibType(int type) {
  Touch();
  m_iMagLibType = tkmac::isDiskLibraryTypeId(type) ? type : 3;
}

bool ZQMACMagLib::Configure(unsigned int mode) {
  if (GetOwner() != nullptr) return ZQMACInterface::Configure(mode);
  tkmac::journal().record("Configure", GetHandle(), mode);
  if (tkmac::failed(*this, "Configure")) return false;
  ZQMACMediaConfig* config = GetMediaConfig();
  if (config == nullptr) {
    SetLastError(kErrorMagLibNoConfig, "The disk library belongs to no configuration.");
    return false;
  }
  const std::string name = !m_sAliasName.empty() ? m_sAliasName : freeLibraryName(*config);
  ZQMACLinkedList<ZQMACMagLib> libraries = config->GetMagLibList();
  for (ZQMACMagLib* l = libraries.GetFirstNode(); l != nullptr; l = libraries.GetNextNode())
    if (l->GetName() == name || l->GetAliasName() == name) {
      SetLastError(kErrorMagLibNameInUse, tkmmdb::libraryNameTakenText(name));
      return false;
    }
  MMStoredLibrary row;
  row.name = name;
  row.aliasName = m_sAliasName;
  row.libraryTypeId = m_iMagLibType;
  row.lowWaterMarkMB = m_iLowWatermark;
  row.libraryAttribute = m_iAttribute;
  const bool stored = ZQMACGraph::IsDatabaseBacked(*config);
  if (stored) {
    // The row, its storage policy and its agent go in one step.
    tktran::StoreStep step(__func__);
    auto refuse = [this](unsigned int code, const std::string& text) {
      SetLastError(code, text);
      return false;
    };
    if (!step.begin())
      return refuse(tkmac::kErrorDatabase,
                    "The library could not be stored: " + step.error());
    MMMediaConfigDB access;
    if (access.insertDiskLibrary(row) != 0)
      return refuse(tkmac::modelErrorOf(access, kErrorMagLibNameInUse), access.lastErrorText());
    // The wizard's library comes with its storage policy (ZQMACWizard.cpp).
    if (m_bAutoCreateStoragePolicy && !tkmac::createLibraryStoragePolicy(*this, row.libraryId, name)) return false;
    // The agent it is made on is kept as the library set-up keeps a disk
    // library's agent: its drive pool in the library's master pool. Until
    // the library has a mount path nothing else leads a load to it.
    if (m_pMediaAgent != nullptr && m_pMediaAgent->GetOwner() == config && m_pMediaAgent->GetId() != 0xFFFFFFFFu) {
      tkdb::Session s;
      const long long agentId = m_pMediaAgent->GetId();
      const std::string agentName = m_pMediaAgent->GetName();
      const int code = s.atomically([&] {
        int rc = s.exec("INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\", \"MaxDrivesToSwitch\") "
                        "VALUES (?, ?, -1)",
                        {row.libraryId, tkmmdb::masterPoolName(name)});
        if (rc != DB_OK) return rc;
        return s.exec("INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                      "\"MasterPoolId\") VALUES (?, 1, ?, ?)",
                      {tkmmdb::drivePoolName(agentName), agentId, s.lastInsertId()});
      });
      if (code != DB_OK)
        return refuse(tkmac::kErrorDatabase, "The library's media agent could not be stored: " + s.errorText());
    }
    if (!step.commit())
      return refuse(tkmac::kErrorDatabase,
                    "The library could not be stored: " + step.error());
  }
  m_sName = name;
  if (config->AdoptObject(this) == 0) {
    SetLastError(kErrorMagLibNoConfig, config->GetLastError());
    if (stored) MMMediaConfigDB().removeObject(MMStoredKind::Library, row.libraryId);
    m_sName.clear();
    return false;
  }
  ZQMACGraph::SetId(this, stored ? row.libraryId : tkmac::takeNewObjectId());
  ZQMACGraph::EnterMagLib(*config, this);
  m_bConfigured = true;
  ClearLastError();
  return true;
}
