// The media-management configuration handler class.
#pragma once

class MDLock;

class EvMMConfigMgr {
 public:
  // Named library locks. A key is "LibID<library id>" or "MAID<media agent id>";
  // the lock is shared by every thread and process of the server.
  //
  // Takes the lock of the key, waiting while another holder has it. Null when
  // the lock cannot be made (or the key does not fit the lock name).
  static MDLock* lockConfigLibrary(const char* key);
  // Releases and deletes the lock and nulls the handle; a null handle is left alone.
  static void unlockConfigLibrary(MDLock*& handle);
  // True when some holder has the lock of the key right now.
  static bool isConfigLibraryLocked(const char* key);

  // The edition parameter "Ostravel" of the global parameters, 0 when absent.
  int isOstravel();
};
