// Whether a text goes into its column whole, and the one refusal when it
// does not. A text that a change stores is stored whole or the change is
// refused naming the limit: the loader and the records cut what is longer
// than a column to its width, so a longer text stored would come back as
// another text, after the change was answered "Success".
//
// The widths themselves are declared where the rows are described: each
// table binding declares its fixed-text columns as it registers its schema,
// the table access declares the records it fills and the registry of
// stored kinds the names and texts a change may set. declaredTextWidths()
// gathers them, so that a rule over the whole store (no stored text longer
// than its column) can be checked without a list of its own:
//
//   for (const tkdb::DeclaredTextWidth& w : tkdb::declaredTextWidths()) ...
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ZQDBColumnDesc;

namespace tkdb {

// The width of a char-array field of a row, without its terminator.
#define TK_TEXT_WIDTH(Row, Field) (sizeof(Row::Field) - 1)

// Whether `text` goes into a column of `width` bytes whole, and the one
// refusal of every route when it does not: true when it fits; else false,
// with `refusal` saying "The WHAT is longer than WIDTH bytes." (or, for a
// NUL inside, which would end it in every C-string copy of the row, that
// it holds one). WHAT names the text as the person who wrote it knows it
// ("user name", "proxy password of the user name"); WIDTH is what the
// person may write there, which for a text stored in another form (a
// password enciphered) is the longest one whose stored form fits.
//
//   std::string refusal;
//   if (!tkdb::fitsColumn("mount path", path, kPathWidth, refusal)) return refuse(refusal);
bool fitsColumn(std::string_view what, std::string_view text, std::size_t width, std::string& refusal);

// The test of fitsColumn alone, for a text whose refusal is made elsewhere.
inline bool fitsWhole(std::string_view text, std::size_t width) {
  return text.size() <= width && text.find('\0') == std::string_view::npos;
}

// The refusal of fitsColumn for a text known not to fit.
inline std::string notWhole(std::string_view what, std::string_view text, std::size_t width) {
  std::string refusal;
  fitsColumn(what, text, width, refusal);
  return refusal;
}

// A text column of a stored table and the most bytes it holds.
struct DeclaredTextWidth {
  std::string table;
  std::string column;
  std::size_t width = 0;
};

// Declares that `column` of `table` holds at most `width` bytes. Declared
// more than once (a binding and a record of the same table), the narrowest
// width counts: a reader that cuts to it would show another text.
void declareTextWidth(std::string_view table, std::string_view column, std::size_t width);
// The same for every fixed-text field of a column table (its width is the
// field's size without the terminator); other fields declare nothing.
void declareTextWidths(std::string_view table, const ZQDBColumnDesc* columns, int count);
// Every declared column with its narrowest width, by table and column
// (names compare without regard to letter case; the first spelling is kept).
std::vector<DeclaredTextWidth> declaredTextWidths();

}  // namespace tkdb
