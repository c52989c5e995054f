// Shared pieces of the disk-library setup wizard tests: the demonstration
// installation stored in the database (media agents ma1 = 1 and ma2 = 2,
// tape library 1, disk library 2 "DiskLib1" on ma1 with mount paths 1
// "/srv/disklib1/mp1" and 2), given a storage policy of its own, and a
// console session read from it; request builders; decoded answers. Requests
// go through the XML dispatcher as the host calls it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "frame/mac/ZQMACObjects.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/external/Cipher.h"
#include "platform/testkit/archivemgr.h"
#include "platform/testkit/external.h"
#include "platform/testkit/mac.h"
#include "platform/testkit/mmdb.h"
#include "platform/xml/EZWizardMessages.h"
#include "platform/xml/ZQGuiMessages.h"
#include "tests/support/FieldValues.h"
#include "tests/support/FrameSession.h"
#include "tests/support/XmlWizardFixture.h"

namespace wiztest {

using Lib = ZQGui::EZMagneticLibrary;
inline constexpr unsigned long kConfigureId = 0x01000BBC;
inline constexpr unsigned long kListId = 0x01000BBA;
inline constexpr uint32_t kUser = 7;
inline constexpr int kDiskLib = 2;
inline constexpr int kMa1 = 1;
inline constexpr int kMa2 = 2;

// A field of the library record by tag: a number or a text. Tag 31 (the
// password) takes the plain text and is sent encrypted.
using Value = tktest::FieldValue;
using Fields = tktest::FieldValues;

inline std::string configureText(const Fields& fields, long long update = 0, long long option = 0) {
  using Req = ZQGui::EZConfigureMagneticLibraryReq;
  Req req;
  CNMessageBase& lib = req.getObjectAccessor(true, true, Req::kLibrary.ordinal, Req::kLibrary.tag, Req::kClassHash,
                                             Req::kLibrary.hash, Req::kLibrary.ns, Req::kLibrary.cls);
  for (const auto& [tag, value] : fields) {
    const tkxml::FieldDef* def = tkxml::findClass(Lib::kNamespace, Lib::kClassNumber)->byTag(tag);
    if (def == nullptr) {
      ADD_FAILURE() << "tag " << tag;
      continue;
    }
    if (def->kind == tkxml::FieldKind::Int64)
      lib.setint64(def->ordinal, tag, value.number, Lib::kClassHash, def->hash);
    else if (def->kind == tkxml::FieldKind::BString)
      lib.setbstringobject(def->ordinal, tag, bstring(tkcipher::encrypt(value.text)), Lib::kClassHash, def->hash);
    else
      lib.setstring(def->ordinal, tag, value.text, Lib::kClassHash, def->hash);
  }
  req.setint64(Req::kUpdateMountPath.ordinal, Req::kUpdateMountPath.tag, update, Req::kClassHash,
               Req::kUpdateMountPath.hash);
  req.setint64(Req::kPolicyOption.ordinal, Req::kPolicyOption.tag, option, Req::kClassHash, Req::kPolicyOption.hash);
  std::string xml;
  EXPECT_EQ(req.serialize(xml), 0);
  return xml;
}

inline std::string listText(const std::vector<long long>& ids) {
  using Req = ZQGui::EZGetMagneticLibrariesReq;
  Req req;
  req.getlistint(Req::kMediaAgentIds.ordinal, Req::kMediaAgentIds.tag, Req::kClassHash, Req::kMediaAgentIds.hash) =
      ids;
  std::string xml;
  EXPECT_EQ(req.serialize(xml), 0);
  return xml;
}

// A record as tag -> value text (numbers in decimal), the fields it carries.
using RecordValues = std::map<unsigned, std::string>;

inline RecordValues valuesOf(const CNMessageBase& record) {
  RecordValues out;
  for (const tkxml::FieldDef& def : tkxml::findClass(Lib::kNamespace, Lib::kClassNumber)->fields) {
    if (def.kind == tkxml::FieldKind::BString || !record.isSet(def.ordinal, Lib::kClassHash, def.hash)) continue;
    out[def.tag] = def.kind == tkxml::FieldKind::Int64
                       ? std::to_string(record.getint64(def.tag, Lib::kClassHash, def.hash))
                       : record.getstring(def.ordinal, def.tag, Lib::kClassHash, def.hash);
  }
  return out;
}

// The decoded answer: the libraries of a response, or the generic failure.
struct Answer {
  bool success = false;
  long long code = 999;
  std::string text;
  std::string xml;
  long long result = 0;  // the dispatcher's
  std::vector<RecordValues> libraries;
};

inline Answer decode(const std::string& xml, long long result) {
  Answer a;
  a.xml = xml;
  a.result = result;
  ZQGui::EZConfigureMagneticLibraryResp configured;
  ZQGui::EZGetMagneticLibrariesResp listed;
  using C = ZQGui::EZConfigureMagneticLibraryResp;
  using L = ZQGui::EZGetMagneticLibrariesResp;
  if (configured.unserialize(xml) == 0) {
    a.success = true;
    a.code = 0;
    a.libraries.push_back(valuesOf(configured.getObjectAccessor(true, false, C::kLibrary.ordinal, C::kLibrary.tag,
                                                                C::kClassHash, C::kLibrary.hash, C::kLibrary.ns,
                                                                C::kLibrary.cls)));
  } else if (listed.unserialize(xml) == 0) {
    a.success = true;
    a.code = 0;
    for (const CNMessageBase& r :
         listed.getlistobject(L::kLibraries.ordinal, L::kLibraries.tag, L::kClassHash, L::kLibraries.hash))
      a.libraries.push_back(valuesOf(r));
  } else {
    using G = ZQGui::GenericResp;
    G generic;
    if (generic.unserialize(xml) != 0) return a;
    a.code = generic.getint64(G::kCode.tag, G::kClassHash, G::kCode.hash);
    a.text = generic.getstring(G::kText.ordinal, G::kText.tag, G::kClassHash, G::kText.hash);
  }
  return a;
}

inline void resetStandIns() {
  testkit::external::reset();
  testkit::mmdb::reset();
}

class WizardTest : public tktest::XmlWizardTest {
 protected:
  WizardTest() : XmlWizardTest(resetStandIns, kUser) {}
  // DiskLib1 gets a storage policy of its own.
  void seedMore() override {
    int policy = 0;
    std::string error;
    ASSERT_EQ(ArchiveManagerTK(nullptr).CreateStoragePolicyForLibrary(kDiskLib, "DiskLib1", kMa1, nullptr, policy,
                                                                      error),
              0)
        << error;
    m_policy = policy;
  }

  Answer call(unsigned long id, const std::string& xml) {
    std::string buffer = xml;
    const long long result = dispatch(id, buffer);
    return decode(buffer, result);
  }
  Answer configure(const Fields& fields, long long update = 0, long long option = 0) {
    return call(kConfigureId, configureText(fields, update, option));
  }
  Answer list(const std::vector<long long>& ids = {}) { return call(kListId, listText(ids)); }

  // The handle of the disk library or mount path with that database id.
  unsigned long long diskLibraryHandle(int id) const {
    ZQMACLinkedList<ZQMACMagLib> libraries = m_config->GetMagLibList();
    for (ZQMACMagLib* l = libraries.GetFirstNode(); l != nullptr; l = libraries.GetNextNode())
      if (static_cast<int>(l->GetId()) == id) return m_config->GetHandle(l);
    return 0;
  }
  // The request record of case A on DiskLib1 with its policy.
  Fields existing() const {
    return {{2, static_cast<long long>(diskLibraryHandle(kDiskLib))},
            {1, kDiskLib},
            {13, m_policy},
            {14, "SP_DiskLib1"},
            {18, copyOf(m_policy)},
            {19, "Primary"},
            {34, 14},
            {33, 80},
            {32, 1}};
  }
  long long copyOf(long long policy) const {
    return m_db.scalar("SELECT defaultCopy FROM archGroup WHERE id = ?", {policy});
  }
  static void expectRefused(const Answer& a, const std::string& text) {
    EXPECT_FALSE(a.success) << a.xml;
    EXPECT_EQ(a.code, -1) << a.xml;
    EXPECT_EQ(a.text, text);
  }

  long long m_policy = 0;
};

}  // namespace wiztest
