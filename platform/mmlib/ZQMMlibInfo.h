// Media-management library information: what the media-management library
// knows of one library by its id, for the configuration dialogs: the media
// types the library takes and the library's alias name.
//
//   ZQMMlibInfo info(libraryId, ZQMACMediaConfig::GetLocalPlatformType());
//   int count = 0;
//   ZQMMMediaTypeInfo* list = info.getMediaTypeList(count);
//   ... list[0] .. list[count - 1] ...
//   info.deleteMediaTypesList(list);   // whenever the list is not null, whatever the count
//
// The list belongs to the caller from getMediaTypeList on and is freed only
// with deleteMediaTypesList. A library the database does not hold, or a
// database failure, gives a null list and a count of 0. The media types of
// a library come from the kind of library it is (its library type).
#pragma once

#include <string>

class DBtran;

// One media type a library takes.
struct ZQMMMediaTypeInfo {
  int id = 0;
  std::string name;
};

class ZQMMlibInfo {
 public:
  ZQMMlibInfo(int libraryId, int platformType) : m_iLibraryId(libraryId), m_iPlatformType(platformType) {}
  ZQMMlibInfo(const ZQMMlibInfo&) = delete;
  ZQMMlibInfo& operator=(const ZQMMlibInfo&) = delete;

  // The media types of the library in the order the consoles offer them,
  // with their number in `count`; null (count 0) when they cannot be had.
  ZQMMMediaTypeInfo* getMediaTypeList(int& count);
  // Frees a list of getMediaTypeList; null is ignored.
  void deleteMediaTypesList(ZQMMMediaTypeInfo* list);
  // The library's alias name (its name when the alias is empty); the empty
  // text when the library cannot be read.
  std::string getLibAliasName(DBtran* tran);

  int libraryId() const { return m_iLibraryId; }
  int platformType() const { return m_iPlatformType; }

  // ---- library state and identification of new media ----
  // The library's state as the media-management service sees it (read
  // once, on first use): a library that cannot be read is broken, not
  // enabled and has hard state 0.
  bool getBroken();
  bool getEnabled();
  int getLibraryHardState();
  // Looks for new media of the media type in the library: 0 with what the
  // service decided in `action` (0 nothing to do, 1 media identified, 2
  // started, anything else refused) and the media found in `count`; any
  // other result is a failure (reason in GetLastError).
  int identifyNewMedia(int mediaType, int& action, int argument, int& count);
  // Identifies the media in the `count` slots of `slots` (a null array only
  // with a count of 0); 0 on success, with the media identified in `count`.
  int identifyNewMediaBySlotId(int mediaType, int argument, int& count, const unsigned int* slots);
  // The last failure's code, and its text cut to `size` bytes with the
  // terminator.
  void GetLastError(unsigned int& code, char* buffer, int size) const;
  // ---- end of the identification block ----

 private:
  void readState();

  int m_iLibraryId;
  int m_iPlatformType;
  bool m_bStateRead = false;
  bool m_bBroken = true;
  bool m_bEnabled = false;
  int m_iHardState = 0;
  unsigned int m_uLastErrorCode = 0;
  std::string m_sLastError;
};

// The media types of the media-management database by name.
class ZQMMDBbase {
 public:
  // The number of the media type of that name (letter case ignored); 0 for
  // a null or unknown name.
  int convertMedTypeString(const char* name);
};
