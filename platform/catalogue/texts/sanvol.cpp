// Texts of the SAN-volume handler frame: the answers that every SAN-volume,
// replica and recovery handler may give (the allocation failure is the
// frame's, in frame.cpp).
#include "platform/catalogue/Catalogue.h"

namespace {
const tkcatalogue::Text kTexts[] = {
    // An operation type the handler does not carry out. %1 the operation type.
    {0x23000318, "The operation type %1 is not valid for this request."},
    // An element type the handler does not know. %1 the type, %2 its name.
    {0x23000332, "The request holds an element of type %1 (%2) that this request does not take."},
    // A lookup that the operation needs failed.
    {0x39000006, "The information this request needs could not be read."},
    // The operation type or a required element of the record is missing.
    {0x39000089, "All information required to process this request was not received."},
};
const tkcatalogue::Registrar kRegistrar(kTexts);
}  // namespace
