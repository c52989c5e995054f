// Fuzz target of the engine's SQL texts: the dialect translation and the
// masking of literals on any text, and the quoting of a client's text placed
// inside a literal of a where clause.
//
// A text placed between quotes must stay one literal whatever it holds:
// masked, the clause shows exactly one literal, and the translation (which
// works outside literals only) leaves it as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/db/SqlText.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)tkdb::translateDialect(text);
  (void)tkdb::maskLiterals(text);
  (void)tkdb::quoteIdent(text);

  // As a client's value: a C string, so it ends at its first zero byte.
  const std::string value = text.c_str();
  const std::string clause = tkdb::formatSql("SELECT DriveId FROM MMDrive WHERE AliasName = '%s' AND DriveId > 0",
                                             value.c_str());
  require(tkdb::maskLiterals(clause) == "SELECT DriveId FROM MMDrive WHERE AliasName = '?' AND DriveId > 0");
  require(tkdb::translateDialect(clause) == clause);
  return 0;
}
