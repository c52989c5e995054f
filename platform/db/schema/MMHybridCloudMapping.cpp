// The hybrid-cloud mappings: one row per cloud library (CloudLibraryId) with
// the disk library that keeps its cached deduplication metadata (the row
// MMHybridCloudMapping_t, Db/Tbl/MMHybridCloudMapping.h). Read and removed by
// MMHybridCloudMappingDB, written by ZQMMDBLibInfo::setHybridCloudLib, read
// by the hybrid-cloud procedures.
#include "platform/db/DBColumns.h"
#include "platform/db/DBSession.h"

namespace {

[[maybe_unused]] const bool kRegistered = [] {
  tkdb::registerSchema("MMHybridCloudMapping",
                       "CREATE TABLE IF NOT EXISTS \"MMHybridCloudMapping\" ("
                       "\"CloudLibraryId\" INTEGER PRIMARY KEY, "
                       "\"DiskLibraryId\" INTEGER NOT NULL)");
  // A library's removal finds its mappings by either column.
  tkdb::registerIndex("MMHybridCloudMapping", "CloudLibraryId");
  tkdb::registerIndex("MMHybridCloudMapping", "DiskLibraryId");
  tkdb::registerReferences("MMHybridCloudMapping", "MMLibrary: CloudLibraryId = LibraryId");
  tkdb::registerReferences("MMHybridCloudMapping", "MMLibrary: DiskLibraryId = LibraryId");
  return true;
}();

}  // namespace
