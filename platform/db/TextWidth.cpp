// The declared widths of stored text columns (TextWidth.h).
#include "platform/db/TextWidth.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/db/DBColumns.h"
#include "platform/db/SqlText.h"

namespace tkdb {

bool fitsColumn(std::string_view what, std::string_view text, std::size_t width, std::string& refusal) {
  refusal.clear();
  if (fitsWhole(text, width)) return true;
  refusal = "The " + std::string(what) +
            (text.size() > width ? " is longer than " + std::to_string(width) + " bytes." : " holds a NUL character.");
  return false;
}

namespace {

struct WidthRegistry {
  std::mutex mutex;
  // By table and column in lower case; the entry keeps the first spelling.
  std::map<std::pair<std::string, std::string>, DeclaredTextWidth> widths;
};

WidthRegistry& widthRegistry() {
  static WidthRegistry* r = new WidthRegistry();  // declared into from static initialisers; lives through exit
  return *r;
}

}  // namespace

void declareTextWidth(std::string_view table, std::string_view column, std::size_t width) {
  if (table.empty() || column.empty() || width == 0) return;
  WidthRegistry& r = widthRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  auto [at, made] = r.widths.try_emplace({lowerName(std::string(table)), lowerName(std::string(column))},
                                         DeclaredTextWidth{std::string(table), std::string(column), width});
  if (!made && width < at->second.width) at->second.width = width;
}

void declareTextWidths(std::string_view table, const ZQDBColumnDesc* columns, int count) {
  for (int i = 0; i < count; ++i) {
    const ZQDBColumnDesc& c = columns[i];
    if (c.field == ZQDBFieldKind::FixedText && c.name != nullptr && c.size > 1)
      declareTextWidth(table, c.name, c.size - 1);
  }
}

std::vector<DeclaredTextWidth> declaredTextWidths() {
  WidthRegistry& r = widthRegistry();
  std::lock_guard<std::mutex> guard(r.mutex);
  std::vector<DeclaredTextWidth> out;
  out.reserve(r.widths.size());
  for (const auto& [key, width] : r.widths) out.push_back(width);
  return out;
}

}  // namespace tkdb
