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

 private:
  int m_iLibraryId;
  int m_iPlatformType;
};
