// Properties of a client kept in its attributes (APP_ClientProp): the
// alternate cache partition; and whether a package is installed on it.
//
//   ClientProperties properties(clientId);
//   std::string partition;
//   if (properties.getAltCachePartition(partition, nullptr) != 0) ...
//
// 0 on success (a client without the property reads the empty text), or
// an error code: kErrorUnknownClient for a client that is not there.
#pragma once

#include <string>

class ClientProperties {
 public:
  explicit ClientProperties(unsigned long clientId) : m_clientId(clientId) {}

  int getAltCachePartition(std::string& partition, void* tran);
  // Replaces the partition; the empty text removes it.
  int setAltCachePartition(const std::string& partition, void* tran);
  // The media agent detected as the client's NDMP mover (0: none).
  int getDetectMAForNDMP(unsigned long& mediaAgentId, void* tran);
  // The id of the client's time zone (0: none set).
  int getClientTimeZoneId(int& timeZoneId, void* tran);

  // Whether the package (an application type id) is installed on the
  // client; 0 or an error code (kErrorUnknownClient for a client that is
  // not there), `installed` set only on success. Journaled as
  // "isInstalled"; a failure scripted under "isInstalled:<client>:<package>"
  // fails only that check.
  int isInstalled(int packageId, bool& installed, void* tran);
  // The text of an error code of these calls.
  static std::string getErrorString(int code);

 private:
  unsigned long m_clientId;
};
