// Whether a text goes into its column whole, and the one refusal when it
// does not. A text that a change stores is stored whole or the change is
// refused naming the limit: the loader and the records cut what is longer
// than a column to its width, so a longer text stored would come back as
// another text, after the change was answered "Success".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tkdb {

// The width of a char-array field of a row, without its terminator.
#define TK_TEXT_WIDTH(Row, Field) (sizeof(Row::Field) - 1)

// Whether `text` fits a column of `width` bytes as it is (a NUL inside would
// end it in every C-string copy of the row).
inline bool fitsWhole(std::string_view text, std::size_t width) {
  return text.size() <= width && text.find('\0') == std::string_view::npos;
}

// "The WHAT is longer than WIDTH bytes." (or, for a NUL inside, that it
// holds one): the text of every refusal of a text too long for its column.
inline std::string notWhole(std::string_view what, std::string_view text, std::size_t width) {
  if (text.size() <= width && text.find('\0') != std::string_view::npos)
    return "The " + std::string(what) + " holds a NUL character.";
  return "The " + std::string(what) + " is longer than " + std::to_string(width) + " bytes.";
}

}  // namespace tkdb
