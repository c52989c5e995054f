// Passwords are never printed by the console. Whatever it shows of a request
// as it was written (a script line echoed before its answers, the request
// named in advice, a reason for refusing a line) goes through these
// functions first, which show every password as *** :
//   - the elements that carry one: 2402 (password), 2408 (proxy password),
//     11426 (DRU host password), 11063 (NDMP password), and 2401 (user
//     name) in its remote-host form USER:PROXY-PASSWORD, behind the colon;
//   - the fields of the storage-library and device-paths words whose field
//     is a protected text or is named a password;
//   - in an XML text, the attributes of such fields.
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// What stands for a password wherever the console would show one.
inline constexpr const char* kHiddenPassword = "***";

// The words of one request as written (script-line words keep their quotes,
// see splitLine), each password in them replaced by ***.
std::vector<std::string> wordsWithoutPasswords(const std::vector<std::string>& words);

// A script line as written, its passwords replaced by *** and the rest kept
// as it stands.
std::string lineWithoutPasswords(const std::string& line);

// A text said about the request of `words` (a reason for refusing it) with
// every password of those words that it repeats replaced by ***.
std::string textWithoutPasswords(const std::string& text, const std::vector<std::string>& words);

}  // namespace tkconsole
