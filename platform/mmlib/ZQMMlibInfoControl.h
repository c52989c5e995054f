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
// Lists handed out and not freed yet.
long outstandingLists();

}  // namespace tkmmlib
