// The words the console knows, and the closest of them to a word it does
// not: an unknown word is refused before anything is sent, naming these.
#pragma once

#include <string>
#include <vector>

namespace tkconsole {

// Whether `word` can only be meant as a console word: console words are
// lower case with hyphens, every handler name has a capital letter, so a
// word without one that no console word family took is a mistyped word.
bool looksLikeConsoleWord(const std::string& word);

// The console words and handler names closest to `word`, closest first
// (at most five); empty when none is near.
std::vector<std::string> closestWords(const std::string& word);

}  // namespace tkconsole
