// The message catalogue: an English text for each 32-bit message id, with
// numbered places for its arguments ("%1" ... "%9"; "%%" is a percent sign).
// An id with no text renders as "message 0x%08X" followed by its arguments in
// brackets, so a missing text never hides which message was meant.
//
// Texts are kept per locale id; one locale (0, English) is filled, and every
// other locale falls back to it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tkcatalogue {

struct Text {
  uint32_t id;
  const char* text;
};

// Registers a table of texts (later registrations of an id replace earlier ones).
// Each source file under platform/catalogue/texts/ registers its own table at load.
void add(const Text* texts, size_t count);

// The text of the id with the arguments filled in, in the given locale.
std::string render(uint32_t id, uint16_t locale, const std::vector<std::string>& args);

// True when the catalogue has a text for the id.
bool has(uint32_t id);

// Registers a table at library load: `static tkcatalogue::Registrar r(kTexts);`
struct Registrar {
  template <size_t N>
  explicit Registrar(const Text (&texts)[N]) {
    add(texts, N);
  }
};

}  // namespace tkcatalogue
