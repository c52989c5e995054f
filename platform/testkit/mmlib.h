// Test control of the media-management library information (ZQMMlibInfo).
//
//   testkit::mmlib::scriptMediaTypes(5, {{1, "A"}, {2, "B"}});  // library 5's list
//   testkit::mmlib::scriptMediaTypes(5, {});   // a list that holds no type (count 0)
//   testkit::mmlib::outstandingLists()         // lists handed out and not freed
//   testkit::mmlib::journal()                  // "getMediaTypeList", "deleteMediaTypesList",
//                                              // "getLibAliasName"
//
// The library rows themselves come from the database (and fail through the
// table access's own controls, platform/testkit/mmdb.h).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/mmlib/ZQMMlibInfoControl.h"

namespace testkit::mmlib {

inline tkjournal::Journal& journal() { return tkmmlib::journal(); }
inline void scriptMediaTypes(int libraryId, std::vector<ZQMMMediaTypeInfo> types) {
  tkmmlib::scriptMediaTypes(libraryId, std::move(types));
}
inline long outstandingLists() { return tkmmlib::outstandingLists(); }

// ---- library state and identification of new media ----
using LibraryState = tkmmlib::LibraryState;
using Identification = tkmmlib::Identification;
inline void scriptLibraryState(int libraryId, LibraryState state) { tkmmlib::scriptLibraryState(libraryId, state); }
inline void scriptIdentification(Identification identification) { tkmmlib::scriptIdentification(identification); }
// The next `times` identifications fail with the code and the text.
inline void failNext(const std::string& name, int code, const std::string& text, int times = 1) {
  tkmmlib::journal().injectFailure(name, code, text, times);
}
// ---- end of the identification block ----

// Forgets scripted lists, states, identifications and the journal.
inline void reset() {
  tkmmlib::clearScripts();
  tkmmlib::clearIdentifyScripts();
  tkmmlib::journal().reset();
}

}  // namespace testkit::mmlib
