// The one form in which passwords are kept in the database: the password
// service's encrypted text (frame/ZQPassword.h). Every route that stores a
// password makes this form with storedForm, and every route that needs the
// password itself takes it back with plainForm, so that a password stored
// by one route reads back whole through any other.
//
// The stored form hides a password from a look at the rows, a copy of the
// file or a capture; it does not protect it from anyone who can run this
// system's code or read its cipher, which is reversible by design (the
// media agents need the password itself).
//
//   std::string stored;
//   if (!tkpassword::storedForm(plain, stored)) { ... refuse: nothing to store ... }
#pragma once

#include <string>

namespace tkpassword {

// The stored form of `plain`; false (and `stored` empty) when the service
// cannot make it.
bool storedForm(const std::string& plain, std::string& stored);

// The password of a stored form; false (and `plain` empty) when `stored`
// is not one.
bool plainForm(const std::string& stored, std::string& plain);

// True when `text` reads as a stored form: exactly what storedForm makes
// (the service's version letter and lower-case hex pairs, nothing else)
// of a text without control characters that is valid UTF-8, as every
// password a console can send is. Used only to tell the clear passwords
// of older database files from stored ones; see StoredPassword.cpp.
bool isStoredForm(const std::string& text);

// Zeroes the secret's bytes and empties it.
void wipe(std::string& secret);

}  // namespace tkpassword
