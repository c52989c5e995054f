// Texts of the library-change request and of drag and drop.
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // %1 the alias asked for.
    {0x2400033D, "The name [%1] is already used by another library."},
    // %1 the library's alias.
    {0x2400002C, "The library [%1] cannot be used now: it is broken, disabled or offline."},
    {0x2400002A, "No new media were found to identify in the library [%1]."},
    {0x2400002B, "The library [%1] refused to identify new media."},
    {0x240000D3, "The media in the given slots were identified."},
    // %1 the drive path's name.
    {0x24000F01, "The drive path [%1] belongs to no library; nothing was configured."},
    // %1 the library's name.
    {0x24000F02, "The library [%1] has no library controller; nothing was configured."},
    // A change names an object that is not stored (never, or removed since);
    // %1 what it is, %2 its id. Only the change that names it is refused:
    // the steps of a request before it may have been kept.
    {0x24000F03, "The %1 [%2] is not in the configuration; the change naming it was not made."},
    // Event text of media identified; their count goes with it.
    {0x23000029, "New media were identified in the library."},
    // Audit operation of an identification.
    {0x5400002C, "Identified new media"},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
