// Passwords are never printed by the console. Whatever it shows of a request
// as it was written (a script line echoed before its answers, the request
// named in advice, a reason for refusing a line), and the text of an XML
// answer, goes through these functions first, which show every password as
// *** :
//   - the elements that carry one: 2402 (password), 2408 (proxy password),
//     11426 (DRU host password), 11063 (NDMP password);
//   - the fields of the storage-library and device-paths words whose field
//     is a protected text or is named a password;
//   - in an XML text, the attributes of such fields;
//   - in a raw body= (its bytes walked as the host walks the elements),
//     the value of each such element;
//   - and of a user name that may carry a proxy password (element 2401,
//     and the fields of tkxml::kProxyUserNameFields, the host's own list,
//     in words and XML alike), the proxy password's part only: where the
//     host finds it (user!!proxy-user@proxy-host:PASSWORD), else behind the
//     first colon of the remote-host form USER:PROXY-PASSWORD.
// A password is found by the element or field it fills, with the tag read
// as the request is read (decimal or hex, 0x962 as 2402), whatever form its
// value takes (enc:, u64:, hex:, quoted, ...), and in XML however the
// attribute is written (blanks around =, either quote, text before the
// first element). A word that the request parser refuses is shown no more
// kindly: a tag written with blanks, a value that stands apart from its
// tag=, or a value written behind its tag without the = (11426:VALUE, its
// tag read as the parser reads one, however many zeros lead it) still
// hides the value, and so does an XML text with no = in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tkconsole {

// What stands for a password wherever the console would show one.
inline constexpr const char* kHiddenPassword = "***";

// Whether element `tag` carries a password, in whole or (2401) in part. A
// refusal of such an element's value does not quote the value.
bool isPasswordElement(uint32_t tag);

// The words of one request as written, each password in them replaced by
// ***. Words of a script line (fromShell false) keep their quotes (see
// splitLine); words of the command line were unquoted by the shell.
std::vector<std::string> wordsWithoutPasswords(const std::vector<std::string>& words, bool fromShell);

// A script line as written, its passwords replaced by *** and the rest kept
// as it stands.
std::string lineWithoutPasswords(const std::string& line);

// The text of an XML answer (the host's response, or a request it handed
// back) with its passwords replaced by ***, found as in an XML word of a
// request: the attributes of password fields and the proxy password of a
// user name, as the host's XML reader reads them; a text that reader
// refuses shows none of its values. What the console prints of an XML
// answer, its text and its fields, is made from this text.
std::string xmlWithoutPasswords(const std::string& text);

// A text said about the request of `words` (a reason for refusing it) with
// every password of those words that it repeats replaced by ***.
std::string textWithoutPasswords(const std::string& text, const std::vector<std::string>& words, bool fromShell);

}  // namespace tkconsole
