// The reversible cipher in which user names and passwords travel between the
// consoles and the server. The encrypted form is printable: a version letter
// followed by two hex digits per byte.
#pragma once

#include <string>

namespace tkcipher {

std::string encrypt(const std::string& plain);
// False (and `plain` untouched) when `encrypted` is not a text this cipher made.
bool decrypt(const std::string& encrypted, std::string& plain);

}  // namespace tkcipher
