// Host services of the management server as the handlers call them:
// decryption of user names and passwords that arrive encrypted, the login
// name of a user id, automatic-refresh notices to watching consoles, and the
// reading of XML requests that carry passwords.
#pragma once

#include <string>
#include <vector>

#include "frame/ZqEntities.h"
#include "platform/reply/EvReturnData.h"

struct MessageInfo;
class CNMessageBase;
class DBtran;

class EvExternal : public EvReturnData {
 public:
  // The argument is not used; every caller passes 0.
  explicit EvExternal(int /*unused*/) : EvReturnData(0, 0, nullptr, 0, nullptr) {}
  ~EvExternal() override = default;

  // Writes the login name of the user into `login`, NUL-terminated. `size`,
  // when given, holds the buffer size on entry and the name's length on
  // return; without it the buffer is taken to hold 1,025 bytes. 0 on
  // success; otherwise the buffer holds the empty text.
  int getUserLogin(int userId, char* login, int* size, DBtran* tran);

  // Decrypts `length` bytes of `value` (the encrypted form the consoles send).
  // Modes 2 and 3 put the plain text into `text`; mode 1 puts it, NUL-
  // terminated, into `buffer`, whose size `size` gives on entry and which
  // receives the plain length on return. `firstLength` is not used. Returns 1
  // on success and 0 on failure (nothing is written then).
  int decryptAndPrepForStorage(MessageInfo* request, const void* value, int length, int mode,
                               std::string& text, int* firstLength, int* size, char* buffer);

  // Encrypts a plain text into the form that decryptAndPrepForStorage reads.
  // 1 on success.
  int encryptForTransport(const std::string& plain, std::string& encrypted);

  // Tells the consoles that watch the library to refresh the entity.
  int sendAutoRefreshUpdateGUM(int libraryId, ZqEntities::EntityType entityType, unsigned int guiId,
                               std::vector<int>* mediaAgentIds);
  // Fills the ids of the media agents of the library. 0 on success.
  int getMAsforLibrary(int libraryId, std::vector<int>& mediaAgentIds);
  bool isAutoRefreshSet();

  // Reads the XML text into the message and prepares its password fields.
  int preProcessXMLStringForPassword(MessageInfo* request, CNMessageBase& message, std::string& xml);
};
