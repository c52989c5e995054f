// Steps that the device operations of the storage-library request share
// (create device, vault lock, drive maintenance; StorageLibDeviceSteps.cpp):
// a refusal with a catalogue text, the read of the request's model, and the
// audit record that names one configured object.
#pragma once

#include <string>

#include "ezconfig/storagelib/StorageLibraryRequest.h"
#include "frame/EvEvent.h"

namespace tkezconfig {

// The operation's failure: code -1 and the catalogue text `id` in the
// request's locale, formatted with the arguments.
template <class... Args>
void refuseWithText(StorageLibraryRequest& work, unsigned long id, const Args&... arguments) {
  char buffer[1024];
  EvGetLocText(id, buffer, sizeof buffer, work.locale, arguments...);
  work.fail(buffer);
}

// Reads the configuration into the request's model. False (logged under
// `tag`, the answer set) when it cannot be read.
bool readRequestConfiguration(StorageLibraryRequest& work, const char* tag);

// The frame's audit record as "configured an object" (0x540000B5) for the
// user, with one parameter (0x5500018B: `name`, `text`), written.
void auditConfiguredObject(StorageLibraryRequest& work, const std::string& name, const std::string& text);

}  // namespace tkezconfig
