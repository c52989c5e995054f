// Turns a separated list of numbers ("1,2,,3") into integers, for callers of
// the wizard unit that keep number lists as text.
//
//   std::vector<int> ids;
//   ParseStringToIntVector("4;;7", ";;", ids);   // ids = {4, 7}
//
// Empty pieces add nothing. A piece adds the decimal number it starts with
// (after blanks, with an optional sign), 0 when it starts with none, and a
// number beyond the 32-bit range is held at the nearest bound. A separator of
// any length is stepped over whole; an empty separator leaves the text one
// piece. `out` is emptied first.
#pragma once

#include <string>
#include <vector>

void ParseStringToIntVector(std::string text, std::string separator, std::vector<int>& out);
