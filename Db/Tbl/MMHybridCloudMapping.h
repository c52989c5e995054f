// MMHybridCloudMapping_t: one hybrid-cloud mapping, a cloud library and the
// disk library that keeps cached deduplication metadata for it; the row in
// which the hybrid-cloud mapping table access (MMHybridCloudMappingDB:
// getInfoByCloudLibId, deleteHybridCloudMappingByDiskLib) returns one
// association. The system has only the row: no catalogue, no table object.
// Its one reader, the automatic sharing of a hybrid cloud, uses only the
// lookup's result code and reads neither field.
//
// Two signed 32-bit fields, both 0 on construction; the row owns nothing,
// so it may be copied.
#pragma once

struct MMHybridCloudMapping_t {
  int CloudLibraryId = 0;
  int DiskLibraryId = 0;
};
