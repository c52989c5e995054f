// The records of ArchiveManagerTK::createArchGroupCopy, the archive
// manager's call that adds a copy to a storage policy: the argument record
// and the result record, laid out byte for byte as the archive manager reads
// and writes them (the static_asserts below hold every offset).
//
// The caller builds the argument record (the constructor sets the archive
// manager's defaults), sets what its kind of copy needs, and hands it over
// with the transaction the copy is to be written in:
//
//   CreateArchGroupCopyArgs_t args;
//   args.storagePolicyId = policy;
//   args.copyName = name;
//   args.transaction = &tran;
//   CreateArchGroupCopyRet_t result;
//   if (ArchiveManagerTK(nullptr).createArchGroupCopy(args, result, "", false) == 0) ... result.copyId ...
//
// Fields whose meaning is the archive manager's own are named by their offset.
#pragma once

#include <cstddef>
#include <string>

#include "Db/Tbl/archTask.h"

class DBtran;

struct CreateArchGroupCopyArgs_t {
  long long storagePolicyId = 0;  // 0
  long long at8 = 0;
  long long at16 = 0;
  long long drivePoolId = 0;  // 24: the pool the copy writes through, 0 for none
  long long at32 = 0;
  int at40 = 0;
  int at44 = 0;
  std::string copyName;  // 48
  std::string at80;
  int at112 = 0;
  bool at116 = false;
  bool at117 = true;
  long long copyFlags = 0;  // 120
  long long at128 = 0;
  long long copyType = 0;  // 136
  long long at144[4] = {};
  long long at176 = -1;
  int at184 = 0;
  int at188 = 0;
  int at192 = 0;
  int at196 = 0;
  int at200 = 1;
  int at204 = 0;
  int at208 = 0;
  long long at216 = -1;
  long long at224 = 0;
  long long at232 = 0;
  long long at240 = 0;
  int at248 = 0;
  int at252 = 0;
  int at256 = 1;
  int at260[9] = {};
  int at296 = 0;
  int at300 = 0;
  long long at304 = 0;
  int at312 = 0;
  int at316 = 0;
  ArchTask_t task;  // 320: made by its own constructor
  int at488 = 0;
  std::string at496;
  int at528 = 0;
  long long at536 = 0x7FFFFFFF;
  DBtran* transaction = nullptr;  // 544: the copy is written in it; null for none
};

struct CreateArchGroupCopyRet_t {
  long long copyId = 0;  // 0: the new copy
  long long at8 = 0;
  std::string errorText;  // 16
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(ArchTask_t) == 168);
static_assert(offsetof(CreateArchGroupCopyArgs_t, storagePolicyId) == 0);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at8) == 8);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at16) == 16);
static_assert(offsetof(CreateArchGroupCopyArgs_t, drivePoolId) == 24);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at32) == 32);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at40) == 40);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at44) == 44);
static_assert(offsetof(CreateArchGroupCopyArgs_t, copyName) == 48);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at80) == 80);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at112) == 112);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at116) == 116);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at117) == 117);
static_assert(offsetof(CreateArchGroupCopyArgs_t, copyFlags) == 120);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at128) == 128);
static_assert(offsetof(CreateArchGroupCopyArgs_t, copyType) == 136);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at144) == 144);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at176) == 176);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at184) == 184);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at188) == 188);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at192) == 192);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at196) == 196);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at200) == 200);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at204) == 204);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at208) == 208);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at216) == 216);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at224) == 224);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at232) == 232);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at240) == 240);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at248) == 248);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at252) == 252);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at256) == 256);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at260) == 260);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at296) == 296);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at300) == 300);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at304) == 304);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at312) == 312);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at316) == 316);
static_assert(offsetof(CreateArchGroupCopyArgs_t, task) == 320);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at488) == 488);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at496) == 496);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at528) == 528);
static_assert(offsetof(CreateArchGroupCopyArgs_t, at536) == 536);
static_assert(offsetof(CreateArchGroupCopyArgs_t, transaction) == 544);
static_assert(sizeof(CreateArchGroupCopyArgs_t) == 552);
static_assert(offsetof(CreateArchGroupCopyRet_t, copyId) == 0);
static_assert(offsetof(CreateArchGroupCopyRet_t, errorText) == 16);
#pragma GCC diagnostic pop
