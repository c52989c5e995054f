// The archive manager stand-in's copies of storage policies: a copy is a row
// of archGroupCopy, written in the transaction the argument record carries,
// so that the caller's roll-back takes it back. The call reads the record as
// the archive manager does, by offset, and journals what it read.
#include <cstring>
#include <string>
#include <vector>

#include "platform/archivemgr/ArchGroupCopyRecords.h"
#include "platform/archivemgr/ArchiveManagerTK.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/debuglog/EvDebug.h"

namespace {

constexpr const char* kTag = "ArchiveManagerTK::createArchGroupCopy";
// The archive manager's own error codes.
constexpr int kErrorNoPolicy = 0x1A000101;
constexpr int kErrorDatabase = 0x1A000102;
constexpr int kErrorNoCopy = 0x1A000103;
// The copy type of a block-level replication copy.
constexpr long long kCopyTypeBlockLevel = 9;

// The numbers of the record that the archive manager reads: offset, width.
struct NumberField {
  std::size_t offset;
  std::size_t width;
};
constexpr NumberField kNumbers[] = {{0, 8},   {8, 8},   {16, 8},  {24, 8},  {32, 8},  {40, 4},  {44, 4},
                                    {112, 4}, {116, 1}, {117, 1}, {120, 8}, {128, 8}, {136, 8}, {176, 8},
                                    {184, 4}, {188, 4}, {200, 4}, {204, 4}, {208, 4}, {216, 8}, {224, 8},
                                    {232, 8}, {240, 8}, {256, 4}, {296, 4}, {300, 4}, {536, 8}};

long long numberAt(const CreateArchGroupCopyArgs_t& args, const NumberField& field) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&args) + field.offset;
  switch (field.width) {
    case 1: return static_cast<signed char>(*bytes);
    case 4: {
      int value = 0;
      std::memcpy(&value, bytes, sizeof value);
      return value;
    }
    default: {
      long long value = 0;
      std::memcpy(&value, bytes, sizeof value);
      return value;
    }
  }
}

std::vector<std::string> recordTexts(const CreateArchGroupCopyArgs_t& args) {
  std::vector<std::string> texts;
  for (const NumberField& field : kNumbers) {
    texts.push_back(std::to_string(field.offset) + "=" + std::to_string(numberAt(args, field)));
    if (field.offset == 44) texts.push_back("48=" + args.copyName);
  }
  texts.push_back(args.transaction != nullptr ? "544=tran" : "544=null");
  return texts;
}

}  // namespace

int ArchiveManagerTK::createArchGroupCopy(CreateArchGroupCopyArgs_t& args, CreateArchGroupCopyRet_t& result,
                                          std::string /*text*/, bool /*flag*/) {
  if (tkjournal::recording()) tkarchivemgr::journal().record("createArchGroupCopy", recordTexts(args));
  tkjournal::Failure failure;
  if (tkarchivemgr::journal().takeFailure("createArchGroupCopy", failure)) {
    result.errorText = failure.text;
    return failure.code != 0 ? failure.code : kErrorDatabase;
  }
  const long long policy = args.storagePolicyId;
  tkdb::Session session(args.transaction);
  int copyId = 0;
  const int rc = session.atomically([&]() -> int {
    tkdb::DbRow row;
    int code = session.queryOne("SELECT 1 FROM \"archGroup\" WHERE \"id\" = ?", {policy}, row);
    if (code != DB_OK) return code == DB_NO_ROW ? kErrorNoPolicy : code;
    code = session.queryOne("SELECT IFNULL(MAX(\"copy\"), 0) + 1 FROM \"archGroupCopy\" WHERE \"archGroupId\" = ?",
                            {policy}, row);
    if (code != DB_OK) return code;
    code = session.exec(
        "INSERT INTO \"archGroupCopy\" (\"archGroupId\", \"copy\", \"name\", \"type\", \"flags\", \"isActive\", "
        "\"extendedFlags\") VALUES (?, ?, ?, ?, ?, 1, 0)",
        {policy, row.at(0), args.copyName, args.copyType, args.copyFlags});
    if (code != DB_OK) return code;
    copyId = static_cast<int>(session.lastInsertId());
    return DB_OK;
  });
  if (rc == kErrorNoPolicy) {
    result.errorText = "No storage policy with id [" + std::to_string(policy) + "].";
  } else if (rc != DB_OK) {
    result.errorText = std::string("The copy could not be written: ") + DBtable::getErrorStr(rc);
  }
  if (rc != DB_OK) {
    EvDebug::Error(kTag, "%s", result.errorText.c_str());
    return rc == kErrorNoPolicy ? kErrorNoPolicy : kErrorDatabase;
  }
  result.copyId = copyId;
  EvDebug::Debug(kTag, "Added copy [%d] to storage policy [%lld].", copyId, policy);
  return 0;
}

int ArchiveManagerTK::getBlockLevelReplicationCopyForPolicy(int storagePolicyId, int& copyId) {
  static constexpr const char* kLookupTag = "ArchiveManagerTK::getBlockLevelReplicationCopyForPolicy";
  tkarchivemgr::journal().record("getBlockLevelReplicationCopyForPolicy", storagePolicyId);
  tkjournal::Failure failure;
  if (tkarchivemgr::journal().takeFailure("getBlockLevelReplicationCopyForPolicy", failure)) {
    return failure.code != 0 ? failure.code : kErrorDatabase;
  }
  tkdb::Session session(nullptr);
  tkdb::DbRow row;
  const int rc = session.queryOne(
      "SELECT \"id\" FROM \"archGroupCopy\" WHERE \"archGroupId\" = ? AND \"type\" = ? ORDER BY \"id\" LIMIT 1",
      {storagePolicyId, kCopyTypeBlockLevel}, row);
  if (rc == DB_NO_ROW) {
    EvDebug::Error(kLookupTag, "Storage policy [%d] has no block-level replication copy.", storagePolicyId);
    return kErrorNoCopy;
  }
  if (rc != DB_OK) {
    EvDebug::Error(kLookupTag, "The copies of storage policy [%d] could not be read: %s", storagePolicyId,
                   DBtable::getErrorStr(rc));
    return kErrorDatabase;
  }
  copyId = static_cast<int>(row.at(0).i);
  return 0;
}
