// The engine's result codes, shared by the bindings (platform/db/DBtable.h)
// and direct access (platform/db/DBSession.h): 0, DB_NO_ROW when a read
// found no row, or an error (DBtable::getErrorStr has their texts).
#pragma once

enum DBResult {
  DB_OK = 0,
  DB_NO_ROW = 100,
  DB_ERR_GENERAL = 200,
  DB_ERR_OPEN = 201,
  DB_ERR_SQL = 202,
  DB_ERR_CONSTRAINT = 203,
  DB_ERR_BUSY = 204,
  DB_ERR_IO = 205,
  DB_ERR_FULL = 206,
  DB_ERR_READONLY = 207,
  DB_ERR_NO_PROC = 208,
  DB_ERR_PROC = 209,
  DB_ERR_STATE = 210,
  DB_ERR_CONVERT = 211,
  DB_ERR_NOMEM = 212,
  DB_ERR_INPUT = 213,
  DB_ERR_NO_WHERE = 214,
  DB_ERR_COMMIT = 254,
  DB_ERR_ROLLBACK = 255,
  DB_ERR_BEGIN = 290,
  DB_ERR_NO_TRAN = 291,
  DB_ERR_TRAN_OPEN = 292,
};
