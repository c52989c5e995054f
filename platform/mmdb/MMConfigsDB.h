// Media-management table access: the configuration parameters.
//
// Shape shared by every table-access class of platform/mmdb/:
//  - an object is made over the caller's MMDebug log (or none) for one block
//    of work and keeps the error of its last call;
//  - every operation returns 0 on success and a non-zero code on failure;
//    its last argument is the caller's DBtran, or null: then it works on the
//    calling thread's connection (autocommit, or the thread's open
//    transaction);
//  - after a failure, getErrorCode() gives the table-access code (the
//    value returned), getDBError() the database's own result (100 when no
//    row matched, 0 when the database was not the cause) and
//    getLastError() the text.
//
// MMS2BaseError and MMBaseDB are the common part of the family; the rest of
// the table access adds its classes beside this one.
#pragma once

#include <cstddef>
#include <string>

class DBtran;
class MMDebug;

// Codes of the table access (getErrorCode). 0 is success.
enum MMS2ErrorCode : int {
  MMS2_SUCCESS = 0,
  // The database call failed (getDBError has the engine's code).
  MMS2_ERROR_DATABASE = 0x26000001,
  // No row matched (getDBError is 100).
  MMS2_ERROR_NOT_FOUND = 0x26000002,
  // An argument was missing or unusable.
  MMS2_ERROR_BAD_ARGUMENT = 0x26000003,
  // A row was found, but its value is unusable (NULL or not a number).
  MMS2_ERROR_BAD_VALUE = 0x26000004,
};

// The error of an object's last call.
class MMS2BaseError {
 public:
  MMS2BaseError() = default;
  virtual ~MMS2BaseError() = default;

  int getErrorCode() const { return m_errorCode; }
  int getDBError() const { return m_dbError; }
  // The last error text, cut to fit `size` bytes and always terminated;
  // returns `buffer` (the empty text after a success).
  char* getLastError(char* buffer, std::size_t size) const;
  const std::string& lastErrorText() const { return m_errorText; }
  // The fixed English text of a table-access code, into `buffer` as above.
  static char* getErrorStringForCode(int code, char* buffer, std::size_t size, long long locale);

 protected:
  void clearError();
  // Records a failure and returns `code`.
  int setError(int code, int dbError, const std::string& text);

 private:
  int m_errorCode = MMS2_SUCCESS;
  int m_dbError = 0;
  std::string m_errorText;
};

// Base of the table-access classes.
class MMBaseDB : public MMS2BaseError {
 public:
  explicit MMBaseDB(MMDebug* log = nullptr) : m_log(log) {}

 protected:
  MMDebug* log() const { return m_log; }

 private:
  MMDebug* m_log;
};

// The media-management configuration parameters (table MMConfigs).
class MMConfigsDB : public MMBaseDB {
 public:
  explicit MMConfigsDB(MMDebug* log = nullptr) : MMBaseDB(log) {}

  // The integer value of the parameter `name` into `value`: 0 on success.
  // `value` is left alone on failure: MMS2_ERROR_NOT_FOUND (getDBError 100)
  // when the parameter is not set, MMS2_ERROR_BAD_VALUE when its value is
  // NULL or not an integer that fits 32 bits, MMS2_ERROR_DATABASE with the
  // engine's code when the read failed, MMS2_ERROR_BAD_ARGUMENT for a null
  // or empty name.
  int getConfigParamValue(const char* name, int& value, DBtran* tran = nullptr);
};
