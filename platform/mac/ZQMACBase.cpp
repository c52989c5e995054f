// The base of the object model: the class-wide locale, the catalogue lookup
// and the debug-log instance.
#include "frame/mac/ZQMACBase.h"

#include <cstdarg>
#include <string>
#include <vector>

#include "frame/EvDebugFileInstance.h"
#include "platform/catalogue/Catalogue.h"
#include "platform/mac/ZQMACPlatform.h"

std::atomic<unsigned long> ZQMACBase::m_locale{0};

ZQMACBase::~ZQMACBase() = default;

std::string MyGetMessageString(unsigned long id, int count, ...) {
  std::vector<std::string> args;
  if (count > 0) {
    args.reserve(static_cast<std::size_t>(count));
    va_list ap;
    va_start(ap, count);
    for (int i = 0; i < count; ++i) {
      const char* arg = va_arg(ap, const char*);
      args.emplace_back(arg != nullptr ? arg : "");
    }
    va_end(ap);
  }
  const uint16_t locale = static_cast<uint16_t>(ZQMACBase::GetLocale() & 0xFFFFu);
  return tkcatalogue::render(static_cast<uint32_t>(id), locale, args);
}

bool ZQMACBase::SetEvDebugFile(EvDebugFileInstance* instance, const char* name) {
  tkmac::journal().record("SetEvDebugFile", name);
  if (instance == nullptr || name == nullptr || *name == '\0') return false;
  return EvDebugFile(instance, name);
}
