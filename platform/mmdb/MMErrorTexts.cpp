// Media-management table access: the fixed texts of its codes and of the
// media-management service's codes (ErrorTrans, MMS2BaseError), for replies
// and log lines.
#include <cstdio>
#include <string>

#include "platform/catalogue/Catalogue.h"
#include "platform/mmdb/MMBaseDB.h"
#include "platform/mmdb/ZQMMClientInfo.h"

// ---- error texts ------------------------------------------------------------------------

namespace {

struct FixedText {
  int code;
  const char* text;
  const char* advice;
};

const FixedText kTexts[] = {
    {MMS2_ERROR_DATABASE, "The database operation failed.", "Check the database and try again."},
    {MMS2_ERROR_NOT_FOUND, "No matching record was found in the database.", nullptr},
    {MMS2_ERROR_BAD_ARGUMENT, "An invalid argument was given.", nullptr},
    {MMS2_ERROR_BAD_VALUE, "The value stored in the database is not usable.", nullptr},
    {MMS2_ERROR_DUPLICATE_NAME, "The name is already in use.", "Choose a name that no other object carries."},
    {MMS2_ERROR_TEXT_TOO_LONG, "The text is too long.", nullptr},
    {MMS2_ERROR_REFERENCE, "An object that the change refers to does not exist.", nullptr},
    {MMS2_ERROR_UNTOLD, "The change log no longer tells whether the row is the one that was read.",
     "Read the configuration again."},
    {MMS2_ERROR_NO_ACTIVE_CONTROLLER, "The library has no active library controller.", nullptr},
    {MMS2_ERROR_NDMP_HOST_NOT_FOUND, "The NDMP server has no entry in the NDMP host table.", nullptr},
    {ZQMM_ERR_DEVICE_NOT_FOUND, "The device could not be found.", nullptr},
    {ZQMM_ERR_MOUNTPATH_NOT_FOUND, "The mount path could not be found.", nullptr},
    {ZQMM_ERR_LIBRARY_NOT_FOUND, "The library could not be found.", nullptr},
    {ZQMM_ERR_MOUNTPATH_HAS_DATA, "The mount path still holds data.",
     "Delete the mount path with force to remove its data as well."},
    {ZQMM_ERR_CONTROLLER_NOT_FOUND, "The device controller could not be found.", nullptr},
    {ZQMM_ERR_CONTROLLER_EXISTS, "The media agent already has a device path to the device.", nullptr},
    {ZQMM_ERR_BAD_REQUEST, "The request to the media-management service is not valid.", nullptr},
    {ZQMM_ERR_DATABASE, "The media-management service could not update the database.",
     "Check the database and try again."},
    {ZQMM_ERR_DUPLICATE_NAME, "The name is already in use.", "Choose a name that no other object carries."},
    {ZQMM_ERR_MEDIA_AGENT_NOT_FOUND, "The media agent could not be found.", nullptr},
    {ZQMM_ERR_MOUNTPATH_IN_USE, "The mount path is in use by running jobs.",
     "Wait for the jobs to finish or kill them, then try again."},
    {ZQMM_ERR_MOUNTPATH_DDB_REFERENCE, "The mount path is referenced by deduplication databases.",
     "Seal the deduplication databases that use the mount path, or delete it with force."},
};

const FixedText* findText(int code) {
  for (const FixedText& t : kTexts) {
    if (t.code == code) return &t;
  }
  return nullptr;
}

char* put(char* buffer, std::size_t size, const std::string& text) {
  if (buffer == nullptr || size == 0) return buffer;
  std::snprintf(buffer, size, "%s", text.c_str());
  return buffer;
}

}  // namespace

const char* ErrorTrans::fixedText(int code) {
  const FixedText* t = findText(code);
  return t != nullptr ? t->text : nullptr;
}

char* ErrorTrans::getErrorString(int code, char* buffer, std::size_t size, unsigned long locale) {
  if (const FixedText* t = findText(code)) return put(buffer, size, t->text);
  const auto id = static_cast<uint32_t>(code);
  if (code != 0 && tkcatalogue::has(id)) {
    return put(buffer, size, tkcatalogue::render(id, static_cast<uint16_t>(locale), {}));
  }
  return put(buffer, size, std::string());
}

char* ErrorTrans::getAdvise(int code, char* buffer, std::size_t size, unsigned long /*locale*/) {
  const FixedText* t = findText(code);
  return put(buffer, size, t != nullptr && t->advice != nullptr ? t->advice : "");
}

// ---- MMS2BaseError ------------------------------------------------------------------------

char* MMS2BaseError::getLastError(char* buffer, std::size_t size) const { return put(buffer, size, m_errorText); }

char* MMS2BaseError::getErrorStringForCode(int code, char* buffer, std::size_t size, long long /*locale*/) {
  if (buffer == nullptr || size == 0) return buffer;
  if (code == MMS2_SUCCESS) return put(buffer, size, "Success");
  if (const char* text = ErrorTrans::fixedText(code)) return put(buffer, size, text);
  std::snprintf(buffer, size, "Unknown error 0x%08X", static_cast<unsigned>(code));
  return buffer;
}

void MMS2BaseError::clearError() {
  m_errorCode = MMS2_SUCCESS;
  m_dbError = 0;
  m_errorText.clear();
}

int MMS2BaseError::setError(int code, int dbError, const std::string& text) {
  m_errorCode = code;
  m_dbError = dbError;
  m_errorText = text;
  return code;
}

