// The choice lists of the configuration dialogs and the one
// media-configuration parameter exposed to consoles.
//
//   request                              reply  what
//   onMsgGetMMLibraryTypes               11050  an empty block
//   onMsgGetMMDriveTypes                 11052  an empty block
//   onMsgGetMMDriveVendorModelTypes      11070  [i]["vendor product"] + end, per drive vendor entry
//   onMsgGetMMLibraryVendors             11091  [i][third] first second + end, per entry of the
//                                               table the u32 at payload position 4 selects
//   onMsgGetMMLibraryMediaTypes          11076  [i][name] + end per media type of the library
//                                               whose id is the u32 at payload position 4
//   onMsgGetMMMediaConfigInfo            11084  one record holding only its end
//   onMsgGetMMMediaConfigParam           11081  the serial-number check + end
//   onMsgSetMMMediaConfigParam           1024   operation 3: sets the serial-number check
//
// The Gets go through the Get wrapper and the Set through the Set loop
// (HandlerSkeleton.h). The serial-number check is one process-wide value
// of the object model (ZQMACMediaConfig::m_bCheckSerialNumber), an atomic:
// a Set changes it for every session, and the next Get of any console reads
// the new value. No audit record and no refresh notice: the parameter is
// not a configuration object.
//
// The media-type list belongs to the handler from the moment the library
// information hands it out and is freed on every path, also when it holds
// no entry (a count below 1 is refused, but the list is still freed).
#include <cstdint>
#include <memory>
#include <string>

#include "frame/ElementTags.h"
#include "frame/EvMMConfigMgr.h"
#include "frame/HandlerSkeleton.h"
#include "frame/MessageInfo.h"
#include "frame/MessageWalker.h"
#include "frame/mac/ZQMACObjects.h"
#include "mmconfig/RecordWriter.h"
#include "platform/debuglog/EvDebug.h"
#include "platform/mmlib/ZQMMlibInfo.h"

namespace {

constexpr const char* kLibraryTypesTag = "EvMMConfigMgr::onMsgGetMMLibraryTypes";
constexpr const char* kDriveTypesTag = "EvMMConfigMgr::onMsgGetMMDriveTypes";
constexpr const char* kDriveVendorsTag = "EvMMConfigMgr::onMsgGetMMDriveVendorModelTypes";
constexpr const char* kLibraryVendorsTag = "EvMMConfigMgr::onMsgGetMMLibraryVendors";
constexpr const char* kMediaTypesTag = "EvMMConfigMgr::onMsgGetMMLibraryMediaTypes";
constexpr const char* kInfoTag = "EvMMConfigMgr::onMsgGetMMMediaConfigInfo";
constexpr const char* kGetParamTag = "EvMMConfigMgr::onMsgGetMMMediaConfigParam";
constexpr const char* kSetParamTag = "EvMMConfigMgr::onMsgSetMMMediaConfigParam";

// The media types of a library cannot be had; argument: the library's alias name.
constexpr unsigned long kTextNoMediaTypes = 0x24000027;

constexpr unsigned long kReplyLibraryTypes = tktag::kReplyLibraryTypes;
constexpr unsigned long kReplyDriveTypes = tktag::kReplyDriveTypes;
constexpr unsigned long kReplyDriveVendors = tktag::kReplyDriveVendors;
constexpr unsigned long kReplyMediaTypes = tktag::kReplyMediaTypes;
constexpr unsigned long kReplyParam = tktag::kReplyCatalogueParam;
constexpr unsigned long kReplyInfo = tktag::kReplyCatalogueInfo;
constexpr unsigned long kReplyLibraryVendors = tktag::kReplyLibraryVendors;

constexpr unsigned long kItemMediaType = tktag::kMediaType;
constexpr unsigned long kItemDriveVendor = tktag::kDriveVendorModel;
constexpr unsigned long kItemCheckSerialNumber = tktag::kCheckSerialNumber;
constexpr unsigned long kItemLibraryVendorFirst = tktag::kLibraryVendor;
constexpr unsigned long kItemLibraryVendorSecond = tktag::kLibraryProduct;
constexpr unsigned long kItemLibraryVendor = tktag::kLibraryVendorEntry;

// Payload position of the library id (media types) and of the table
// selector (library vendors).
constexpr std::size_t kPositionArgument = 4;

// The operation of the parameter Set.
constexpr uint32_t kOperationSetParam = 3;

// A text as a C string sees it: up to its first zero byte.
std::string cText(const std::string& text) { return std::string(text.c_str()); }

// The parameter Set: element 11077 with a presence flag, kept for the
// whole request.
class ParamRecords : public tkmm::SetRecordHandler {
 public:
  bool servesOperation(uint32_t operation) const override { return operation == kOperationSetParam; }
  bool needsObject(uint32_t) const override { return false; }
  bool takeElement(uint32_t type, const char* value, unsigned int length) override {
    if (type != kItemCheckSerialNumber) return false;
    m_value = MessageWalker::readU32(value, length);
    m_received = true;
    return true;
  }
  tkmm::SetOutcome apply(const tkmm::SetRecord&) override {
    if (m_received) ZQMACMediaConfig::m_bCheckSerialNumber.store(m_value != 0);
    return tkmm::SetOutcome::success();
  }

 private:
  bool m_received = false;
  uint32_t m_value = 0;
};

}  // namespace

bool EvMMConfigMgr::onMsgGetMMLibraryTypes(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyLibraryTypes, kLibraryTypesTag, [](ZQMACMediaConfig&) { return true; });
}

bool EvMMConfigMgr::onMsgGetMMDriveTypes(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDriveTypes, kDriveTypesTag, [](ZQMACMediaConfig&) { return true; });
}

bool EvMMConfigMgr::onMsgGetMMDriveVendorModelTypes(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyDriveVendors, kDriveVendorsTag, [&](ZQMACMediaConfig& config) {
    const ZQMACVendorInfo* vendors = config.GetVendorInfo();
    const ZQMACVendorEntry* entries = vendors->GetDriveVendorInfo();
    tkmm::RecordWriter out(*this);
    for (int i = 0; i < vendors->GetDriveVendorInfoSize(); ++i) {
      out.idText(kItemDriveVendor, static_cast<uint32_t>(i), cText(entries[i].first) + " " + cText(entries[i].second));
      out.endOfRecord();
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMLibraryVendors(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyLibraryVendors, kLibraryVendorsTag, [&](ZQMACMediaConfig& config) {
    const bool selector = request->payloadWord(kPositionArgument) != 0;
    const ZQMACVendorInfo* vendors = config.GetVendorInfo();
    const ZQMACVendorEntry* entries = vendors->GetLibraryVendorInfo(selector);
    tkmm::RecordWriter out(*this);
    for (int i = 0; i < vendors->GetLibraryVendorInfoSize(selector); ++i) {
      out.idText(kItemLibraryVendor, static_cast<uint32_t>(i), entries[i].third);
      out.text(kItemLibraryVendorFirst, entries[i].first);
      out.text(kItemLibraryVendorSecond, entries[i].second);
      out.endOfRecord();
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMLibraryMediaTypes(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyMediaTypes, kMediaTypesTag, [&](ZQMACMediaConfig&) {
    ZQMMlibInfo info(static_cast<int>(request->payloadWord(kPositionArgument)),
                     ZQMACMediaConfig::GetLocalPlatformType());
    int count = 0;
    auto release = [&info](ZQMMMediaTypeInfo* list) { info.deleteMediaTypesList(list); };
    std::unique_ptr<ZQMMMediaTypeInfo, decltype(release)> list(info.getMediaTypeList(count), release);
    if (list == nullptr || count < 1) {
      const std::string text = ZQMACBase::GetMessageString(kTextNoMediaTypes, info.getLibAliasName(nullptr).c_str());
      EvDebug::Error(kMediaTypesTag, "%s", text.c_str());
      return false;
    }
    tkmm::RecordWriter out(*this);
    for (int i = 0; i < count; ++i) {
      out.idText(kItemMediaType, static_cast<uint32_t>(i), list.get()[i].name);
      out.endOfRecord();
    }
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMMediaConfigInfo(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyInfo, kInfoTag, [&](ZQMACMediaConfig&) {
    tkmm::RecordWriter(*this).endOfRecord();
    return true;
  });
}

bool EvMMConfigMgr::onMsgGetMMMediaConfigParam(MessageInfo* request) {
  return tkmm::runGet(*this, request, kReplyParam, kGetParamTag, [&](ZQMACMediaConfig&) {
    tkmm::RecordWriter out(*this);
    out.flag(kItemCheckSerialNumber, ZQMACMediaConfig::m_bCheckSerialNumber.load());
    out.endOfRecord();
    return true;
  });
}

bool EvMMConfigMgr::onMsgSetMMMediaConfigParam(MessageInfo* request) {
  ParamRecords records;
  return tkmm::runSet(request, kSetParamTag, records);
}
