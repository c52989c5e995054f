// Shared pieces of the tape-library wizard tests: the demonstration
// installation stored in the database (media agents ma1 = 1 and ma2 = 2,
// tape library 1 "TapeLib1" with a controller on ma1 and drives 1 and 2,
// each reached from both agents) and a console session read from it;
// request builders and decoded answers. Requests go through the XML
// dispatcher as the host calls it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/security.h"
#include "platform/xml/EZTapeWizardMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/support/XmlWizardFixture.h"

namespace tapetest {

using Lib = ZQGui::EZTapeLibrary;
using Drv = ZQGui::EZTapeDrive;
inline constexpr unsigned long kListId = 0x01000BBF;
inline constexpr unsigned long kConfigureId = 0x01000BC1;
inline constexpr unsigned long kDrivesId = 0x015845CD;
inline constexpr unsigned long kAliasId = 0x01A8EB4F;
inline constexpr uint32_t kUser = 7;
inline constexpr int kTapeLib = 1;

// One message's fields by tag, as texts (numbers in decimal).
using Values = std::map<unsigned, std::string>;

inline Values valuesOf(const CNMessageBase& m, unsigned ns, unsigned cls, unsigned hash) {
  Values out;
  for (const tkxml::FieldDef& def : tkxml::findClass(ns, cls)->fields) {
    if (!m.isSet(def.ordinal, hash, def.hash) || def.kind == tkxml::FieldKind::ObjectList) continue;
    out[def.tag] = def.kind == tkxml::FieldKind::Int64 ? std::to_string(m.getint64(def.tag, hash, def.hash))
                                                       : m.getstring(def.ordinal, def.tag, hash, def.hash);
  }
  return out;
}

struct Listed {
  Values library;
  std::vector<Values> drives;
};

struct Answer {
  std::string xml;
  long long result = 0;
  bool listing = false;
  long long code = 999;
  std::string text;
  std::vector<Listed> libraries;
};

inline Answer decode(const std::string& xml, long long result) {
  Answer a;
  a.xml = xml;
  a.result = result;
  using R = ZQGui::EZGetTapeLibrariesResp;
  R listed;
  if (listed.unserialize(xml) == 0) {
    a.listing = true;
    a.code = 0;
    for (CNMessageBase& r : listed.getlistobject(R::kLibraries.ordinal, R::kLibraries.tag, R::kClassHash,
                                                 R::kLibraries.hash)) {
      Listed l{valuesOf(r, Lib::kNamespace, Lib::kClassNumber, Lib::kClassHash), {}};
      for (const CNMessageBase& d :
           r.getlistobject(Lib::kDrives.ordinal, Lib::kDrives.tag, Lib::kClassHash, Lib::kDrives.hash, false))
        l.drives.push_back(valuesOf(d, Drv::kNamespace, Drv::kClassNumber, Drv::kClassHash));
      a.libraries.push_back(std::move(l));
    }
    return a;
  }
  using G = ZQGui::GenericResp;
  G generic;
  if (generic.unserialize(xml) != 0) return a;
  a.code = generic.getint64(G::kCode.tag, G::kClassHash, G::kCode.hash);
  a.text = generic.getstring(G::kText.ordinal, G::kText.tag, G::kClassHash, G::kText.hash);
  return a;
}

inline std::string text(const CNMessageBase& m) {
  std::string xml;
  EXPECT_EQ(m.serialize(xml), 0);
  return xml;
}

// The listing request: ids, (id, name) entries, detect flag.
inline std::string listText(const std::vector<long long>& ids, const std::vector<std::pair<long long, std::string>>& named = {},
                            long long detect = 0) {
  using R = ZQGui::EZGetTapeLibrariesReq;
  using N = ZQGui::IdName;
  R req;
  req.getlistint(R::kMediaAgentIds.ordinal, R::kMediaAgentIds.tag, R::kClassHash, R::kMediaAgentIds.hash) = ids;
  tkxml::MessageList& list =
      req.getlistobject(R::kMediaAgents.ordinal, R::kMediaAgents.tag, R::kClassHash, R::kMediaAgents.hash);
  for (const auto& [id, name] : named) {
    N n;
    n.setint64(N::kId.ordinal, N::kId.tag, id, N::kClassHash, N::kId.hash);
    n.setstring(N::kIdName.ordinal, N::kIdName.tag, name, N::kClassHash, N::kIdName.hash);
    list.push_back(n);
  }
  req.setint64(R::kDetect.ordinal, R::kDetect.tag, detect, R::kClassHash, R::kDetect.hash);
  return text(req);
}

inline std::string configureText(unsigned long long handle, long long retention, long long configure,
                                  unsigned long long second = 0, long long secondRetention = 0) {
  using R = ZQGui::EZConfigureTapeLibraryReq;
  R req;
  for (const auto& [field, h, days] : {std::tuple{R::kLibrary, handle, retention},
                                       std::tuple{R::kSecondLibrary, second, secondRetention}}) {
    CNMessageBase& lib =
        req.getObjectAccessor(true, true, field.ordinal, field.tag, R::kClassHash, field.hash, field.ns, field.cls);
    lib.setint64(Lib::kHandle.ordinal, Lib::kHandle.tag, static_cast<long long>(h), Lib::kClassHash, Lib::kHandle.hash);
    lib.setint64(Lib::kRetentionDays.ordinal, Lib::kRetentionDays.tag, days, Lib::kClassHash, Lib::kRetentionDays.hash);
  }
  req.setint64(R::kConfigure.ordinal, R::kConfigure.tag, configure, R::kClassHash, R::kConfigure.hash);
  return text(req);
}

inline std::string drivesText(const std::vector<unsigned long long>& handles) {
  using R = ZQGui::EZConfigureTapeLibraryDrivesReq;
  R req;
  tkxml::MessageList& list = req.getlistobject(R::kDrives.ordinal, R::kDrives.tag, R::kClassHash, R::kDrives.hash);
  for (unsigned long long h : handles) {
    Drv d;
    d.setint64(Drv::kHandle.ordinal, Drv::kHandle.tag, static_cast<long long>(h), Drv::kClassHash, Drv::kHandle.hash);
    list.push_back(d);
  }
  return text(req);
}

inline std::string aliasText(unsigned long long handle, const std::string& alias) {
  using R = ZQGui::EZSetTapeLibraryAliasNameReq;
  R req;
  req.setint64(R::kHandle.ordinal, R::kHandle.tag, static_cast<long long>(handle), R::kClassHash, R::kHandle.hash);
  req.setstring(R::kAliasName.ordinal, R::kAliasName.tag, alias, R::kClassHash, R::kAliasName.hash);
  return text(req);
}

class TapeWizardTest : public tktest::XmlWizardTest {
 protected:
  TapeWizardTest() : XmlWizardTest(testkit::security::reset, kUser) {}

  Answer call(unsigned long id, const std::string& xml, uint32_t origin = 0) {
    std::string buffer = xml;
    const long long result = dispatch(id, buffer, origin);
    return decode(buffer, result);
  }

  ZQMACLms* tapeLibrary() const { return m_config->GetLmsList().GetFirstNode(); }
  unsigned long long libraryHandle() const { return m_config->GetHandle(tapeLibrary()); }
  // The handles of the library's drive paths, in list order.
  std::vector<unsigned long long> pathHandles() const {
    std::vector<unsigned long long> out;
    ZQMACLinkedList<ZQMACDms> paths = tapeLibrary()->GetDmsList();
    for (ZQMACDms* p = paths.GetFirstNode(); p != nullptr; p = paths.GetNextNode()) out.push_back(m_config->GetHandle(p));
    return out;
  }
  // A primary storage policy writing to the tape library; its id.
  int addPolicy() {
    CreateStoragePolicyForLibraryArgs_t args;
    args.libraryId = kTapeLib;
    args.userId = kUser;
    CreateStoragePolicyForLibraryRet_t result;
    EXPECT_EQ(ArchiveManagerTK(nullptr).CreateStoragePolicyForLibrary(args, result), 0) << result.errorText;
    return result.storagePolicyId;
  }
  // The calls of `name`, each as its arguments joined by spaces.
  static std::vector<std::string> calls(const tkjournal::Journal& journal, const std::string& name) {
    std::vector<std::string> out;
    for (const tkjournal::Call& c : journal.calls(name)) {
      std::string joined;
      for (const std::string& a : c.args) joined += (joined.empty() ? "" : " ") + a;
      out.push_back(joined);
    }
    return out;
  }
  static void expectRefused(const Answer& a, const std::string& text) {
    EXPECT_EQ(a.code, -1) << a.xml;
    EXPECT_EQ(a.text, text);
  }
  static void expectDone(const Answer& a) {
    EXPECT_EQ(a.code, 0) << a.xml;
    EXPECT_EQ(a.text, ZQMACBase::GetMessageString(0x240001F0));
  }
};

}  // namespace tapetest
