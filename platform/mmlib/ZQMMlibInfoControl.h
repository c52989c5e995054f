// The test surface of the media-management library information; tests
// reach it through platform/testkit/mmlib.h.
#pragma once

#include <vector>

#include "platform/journal/Journal.h"
#include "platform/mmlib/ZQMMlibInfo.h"

namespace tkmmlib {

// Calls: "getMediaTypeList" (library id, platform type),
// "deleteMediaTypesList" (whether the list was not null), "getLibAliasName"
// (library id).
tkjournal::Journal& journal();
// The media types of a library id from now on, instead of those of its
// kind (an empty vector: a list that holds none).
void scriptMediaTypes(int libraryId, std::vector<ZQMMMediaTypeInfo> types);
void clearScripts();

// ---- library state and identification ----
// Calls: "getLibraryState" (library id), "identifyNewMedia" (library id,
// media type, argument), "identifyNewMediaBySlotId" (library id, media
// type, argument, count, the slots as "1,2,3"); a failure injected into
// either identification makes it return the code with the text.
struct LibraryState {
  bool broken = false;
  bool enabled = true;
  int hardState = 1;
};
// The state of a library id from now on, instead of its row's.
void scriptLibraryState(int libraryId, LibraryState state);
// What the next identifications (of any library) decide.
struct Identification {
  int action = 0;
  int count = 0;
};
void scriptIdentification(Identification identification);
// Forgets scripted states and identifications.
void clearIdentifyScripts();
// ---- end of the identification block ----
// Lists handed out and not freed yet.
long outstandingLists();

}  // namespace tkmmlib
