// Test access to the details of an error made by the error library.
#pragma once

#include "platform/errors/FXErrorUtil.h"

namespace testkit::errors {

// The details of the error, or null for a success.
inline const FXErrorPrivate* details(const CWyError& error) { return error.GetDetails(); }

}  // namespace testkit::errors
