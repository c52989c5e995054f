// The roots of the media-configuration object model.
//
//  - ZQMACBase: the common base of every configuration object and of the
//    configuration instance, always inherited virtually, so an object reached
//    along several paths holds one shared ZQMACBase part. It carries the
//    class-wide locale of the model's texts, the catalogue lookups, and each
//    object's last error (a code and a text).
//  - ZQMACInterface: the common interface of the configuration objects; lists
//    of mixed objects hold them through it, and `FindObject` hands it out.
//  - ZQMACScsiUnit: the second polymorphic base part of library controllers
//    and drive paths (the device as reached from one media agent).
//
// The class headers and their inline members are the handlers'; the bodies
// of the other members are the platform's object model (platform/mac/).
// Destructors are virtual throughout and reachable through every base part.
#pragma once

#include <algorithm>
#include <utility>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class EvDebugFileInstance;
class ZQMACMediaConfig;
class ZQMACLms;
class ZQMACMediaAgent;
class ZQMACGraph;

// Where the objects of one graph find their instance: a graph handed over to
// another instance takes it along, so that its objects change owner at once.
// Every object reads it; it has a cache line of its own, so that no write to
// memory beside it slows the threads that list the graph.
struct alignas(64) ZQMACGraphHome {
  ZQMACMediaConfig* config = nullptr;
};

// What goes away, for the objects that may hold it to forget: one object,
// or many that go at once (their addresses in std::less order), so that
// each holder is walked once for all of them instead of once for each.
class ZQMACGone {
 public:
  explicit ZQMACGone(const void* address) : m_one(address) {}
  // Several objects, in whatever order they were found: sorted here, so
  // that no caller's order (which is the order of the allocator's
  // addresses only by chance) is gone by.
  explicit ZQMACGone(std::vector<const void*> addresses) : m_many(std::move(addresses)), m_isMany(true) {
    std::sort(m_many.begin(), m_many.end(), std::less<const void*>());
  }

  bool Holds(const void* address) const {
    if (address == nullptr) return false;
    if (!m_isMany) return address == m_one;
    return std::binary_search(m_many.begin(), m_many.end(), address, std::less<const void*>());
  }
  // Clears a pointer to what goes.
  template <class P>
  void Clear(P*& pointer) const {
    if (pointer != nullptr && Holds(static_cast<const void*>(pointer))) pointer = nullptr;
  }
  // Unlinks what goes from a list (ZQMACLinkedList).
  template <class List>
  void From(List& list) const {
    if (!m_isMany)
      list.RemoveNodeAt(m_one);
    else
      list.RemoveNodesIf([this](const void* element) { return Holds(element); });
  }

 private:
  const void* m_one = nullptr;
  std::vector<const void*> m_many;
  bool m_isMany = false;
};

// The object model's catalogue lookup: the text of message `id` with `count`
// text arguments (const char*, a null one counts as the empty text) filled
// in, in the locale last set by ZQMACBase::SetLocale. An id without a text
// renders visibly as "message 0x...", never as the empty text.
std::string MyGetMessageString(unsigned long id, int count, ...);

// Object type codes that GetObjectType reports. The handlers compare with
// the numbers 1 to 14; the codes from 20 on are the object model's own.
enum ZQMACObjectType : unsigned int {
  ZQMAC_OBJ_UNKNOWN = 0,
  ZQMAC_OBJ_LMS = 1,                // tape or optical library (ZQMACLms)
  ZQMAC_OBJ_MASTER_DRIVE_POOL = 2,  // ZQMACMasterDrivePool
  ZQMAC_OBJ_DRIVE_POOL = 3,         // ZQMACDrivePool
  ZQMAC_OBJ_DMS = 4,                // drive path (ZQMACDms)
  ZQMAC_OBJ_MAGLIB = 5,             // disk library (ZQMACMagLib)
  ZQMAC_OBJ_MOUNT_PATH = 6,         // ZQMACMountPath
  ZQMAC_OBJ_LIBRARY_CHILD = 10,     // an object of a tape library (GetLms gives it), e.g. its controller group
  ZQMAC_OBJ_DISK_DEVICE = 12,       // ZQMACDiskDevice
  ZQMAC_OBJ_DRIVE = 14,             // ZQMACDrive
  ZQMAC_OBJ_MEDIA_AGENT = 20,
  ZQMAC_OBJ_LIB_CONTROLLER = 21,
  ZQMAC_OBJ_IP_LIB_CONTROLLER = 22,
  ZQMAC_OBJ_LIBRARY = 23,  // ZQMACLibrary, the library part of a ZQMACLms
  ZQMAC_OBJ_DISK_VOLUME = 24,
  ZQMAC_OBJ_COPY_MGR_DEVICE = 25,
  ZQMAC_OBJ_COPY_MGR_CONTROLLER = 26,
  ZQMAC_OBJ_CENTERA_CLUSTER = 27,
  ZQMAC_OBJ_HOST = 28,
  ZQMAC_OBJ_NODE = 29,  // generic named entry, e.g. a cost category
};

// The members of one object that setters changed and the model has not
// stored yet, by address. Nothing until the first mark; a copy of an
// object starts without marks (they name the original's members).
class ZQMACChangeMarks {
 public:
  ZQMACChangeMarks() = default;
  ZQMACChangeMarks(const ZQMACChangeMarks&) {}
  ZQMACChangeMarks& operator=(const ZQMACChangeMarks&) { return *this; }

  void mark(const void* member) {
    if (m_members == nullptr) m_members = std::make_unique<std::vector<const void*>>();
    if (!has(member)) m_members->push_back(member);
  }
  bool has(const void* member) const {
    return m_members != nullptr && std::find(m_members->begin(), m_members->end(), member) != m_members->end();
  }
  void forget(const void* member) {
    if (m_members != nullptr) m_members->erase(std::remove(m_members->begin(), m_members->end(), member),
                                               m_members->end());
  }
  bool any() const { return m_members != nullptr && !m_members->empty(); }

 private:
  std::unique_ptr<std::vector<const void*>> m_members;
};

class ZQMACBase {
 public:
  ZQMACBase() = default;
  ZQMACBase(const ZQMACBase&) = default;
  ZQMACBase& operator=(const ZQMACBase&) = default;
  virtual ~ZQMACBase();

  // ---- class-wide locale and catalogue texts ----
  // The handlers pass the request's locale id (top 16 bits of its sequence
  // number) before they ask the model for texts; the last value set holds
  // for every thread.
  static void SetLocale(unsigned long locale) { m_locale.store(locale, std::memory_order_relaxed); }
  static unsigned long GetLocale() { return m_locale.load(std::memory_order_relaxed); }

  static std::string GetMessageString(unsigned long id) { return MyGetMessageString(id, 0); }
  static std::string GetMessageString(unsigned long id, const char* a1) { return MyGetMessageString(id, 1, a1); }
  static std::string GetMessageString(unsigned long id, const char* a1, const char* a2) {
    return MyGetMessageString(id, 2, a1, a2);
  }
  static std::string GetMessageString(unsigned long id, const char* a1, const char* a2, const char* a3,
                                      const char* a4, const char* a5, const char* a6) {
    return MyGetMessageString(id, 6, a1, a2, a3, a4, a5, a6);
  }

  // Decimal text of a number.
  static std::string Int2String(long long value) { return std::to_string(value); }

  // Opens the debug-log instance of the given name; true when it is open.
  static bool SetEvDebugFile(EvDebugFileInstance* instance, const char* name);

  // ---- last error of this object (or instance) ----
  // The code, with the text through `text`.
  unsigned int GetLastError(std::string& text) const {
    text = m_sLastError;
    return m_uLastErrorCode;
  }
  const std::string& GetLastError() const { return m_sLastError; }
  unsigned int GetLastErrorCode() const { return m_uLastErrorCode; }
  void SetLastError(unsigned int code, const std::string& text) {
    if (code == m_uLastErrorCode && text == m_sLastError) return;
    m_uLastErrorCode = code;
    m_sLastError = text;
    NoteErrorChange();
  }
  // Code and the catalogue text of the code as message id, with arguments.
  void SetLastErrorMessage(unsigned int code, const char* a1 = nullptr) {
    SetLastError(code, a1 == nullptr ? GetMessageString(code) : GetMessageString(code, a1));
  }
  void ClearLastError() {
    if (m_uLastErrorCode == 0 && m_sLastError.empty()) return;
    m_uLastErrorCode = 0;
    m_sLastError.clear();
    NoteErrorChange();
  }

  // ---- changes in memory ----
  // Notes that the object (or instance) was changed in memory other than by
  // a load: a configuration object is marked touched, an instance no longer
  // hands its graph over (ZQMACMediaConfig.h). Every path that changes an
  // object calls it.
  virtual void NoteChange() {}

  // ---- changes the model stores ----
  // A setter marks the member it changed; the model writes the marked
  // members it keeps (platform/mac/ZQMACStoredSettings.h) and then forgets
  // their marks.
  void MarkChanged(const void* member) { m_changed.mark(member); }
  bool IsMarkedChanged(const void* member) const { return m_changed.has(member); }
  void ForgetChanged(const void* member) { m_changed.forget(member); }
  bool HasChanges() const { return m_changed.any(); }

 protected:
  // A change of the last error: objects note it as a change.
  virtual void NoteErrorChange() {}

  static std::atomic<unsigned long> m_locale;

 private:
  unsigned int m_uLastErrorCode = 0;
  std::string m_sLastError;
  ZQMACChangeMarks m_changed;
};

// The common interface of the configuration objects, in the handlers' order.
// An object that an instance owns carries that instance and its handle; a
// copy made on the stack belongs to no instance and has handle 0.
class ZQMACInterface : public virtual ZQMACBase {
 public:
  ZQMACInterface() = default;
  // Copies the object's data, never its membership of an instance.
  ZQMACInterface(const ZQMACInterface& other);
  ZQMACInterface& operator=(const ZQMACInterface&) = delete;
  // An object that an instance owns is unlinked from every list and map of
  // that instance before its memory goes, and its handle stops resolving,
  // whichever base part it is deleted through.
  ~ZQMACInterface() override;

  virtual const std::string& GetName() const;
  // The database id; 0xFFFFFFFF while the object is not stored.
  virtual unsigned int GetId() const;
  // Names an object that is being built or changed; false (reason in the
  // last error) for an empty name.
  virtual bool AssignName(const std::string& name);
  // A state flag of libraries and drive paths: the object is configured.
  virtual bool TestStateA();
  // The name sent in id+name items and audit texts; the name when no
  // display name is set.
  virtual const std::string& GetDisplayName() const;
  // Writes the object's configuration; false = failed, reason in the last error.
  virtual bool Configure(unsigned int mode);
  // Removes the object's configuration; false = failed, reason in the last error.
  virtual bool Deconfigure(bool force);
  // The long operation of the control request; reports through the hooks.
  virtual bool RunLongOperation();
  // The credential operation of the control request; fills the result text.
  virtual bool RunCredentialOperation(const std::string& name, const std::string& userName,
                                      const std::string& password, std::string& result);
  // Renames the object; false = failed, reason in the last error.
  virtual bool SetName(const std::string& name);
  virtual std::string GetTextA(bool forDisplay);
  virtual std::string GetTextB(bool forDisplay);
  virtual unsigned int GetObjectType() const;
  virtual unsigned int GetPropertyC();
  virtual unsigned int CountDrives(bool all);
  // The tape or optical library the object belongs to, or null.
  virtual ZQMACLms* GetLms();
  // The object whose shown state decides a replacement warning.
  virtual ZQMACInterface* GetLinkedObject();
  virtual bool TestStateB();
  virtual bool IsShown();
  // ---- the object action of the library-change request ----
  // The object's own action (operation 12 of the library request); false =
  // failed, reason in the last error.
  virtual bool RunObjectAction();
  // ---- end of the object action ----

  // ---- the object as detection shows it ----
  // A number the detection keeps with the object (item 11053 of the
  // detected lists); a console sets it before an exhaustive detection.
  unsigned int GetPropertyD() const { return m_uPropertyD; }
  void SetPropertyD(unsigned int value) {
    Touch();
    m_uPropertyD = value;
  }
  // ---- end of the detection block ----

  // ---- membership of a configuration instance ----
  // The instance that owns the object, or null.
  ZQMACMediaConfig* GetOwner() const { return m_pHome != nullptr ? m_pHome->config : nullptr; }
  // The object's handle in its instance: non-zero, below 2^32, never reused.
  // An object gets it the first time it is asked for (safe from any thread),
  // so a load costs handles only for the objects callers name, not for
  // every object it makes. 0 while no instance owns the object, or when the
  // process has no handle left to give.
  unsigned long long GetHandle() const {
    const unsigned int handle = m_uHandle.load(std::memory_order_acquire);
    return handle != 0 || m_pHome == nullptr ? handle : GiveHandle();
  }

  // Marks the object touched: changed in memory since its instance laid it
  // from its rows (see ZQMACMediaConfig.h); cheap once it is.
  void NoteChange() override { Touch(); }
  void Touch() {
    if (!m_bTouched.load(std::memory_order_relaxed)) MarkTouched();
  }
  bool IsTouched() const { return m_bTouched.load(std::memory_order_relaxed); }

 protected:
  friend class ZQMACMediaConfig;
  friend class ZQMACGraph;

  // Drops every reference this object holds to what goes (list entries,
  // pointers); called by the owning instance on the other objects while
  // objects go away. The object is not touched.
  virtual void ForgetObjects(const ZQMACGone& gone);
  void ForgetObject(const void* address) { ForgetObjects(ZQMACGone(address)); }
  void NoteErrorChange() override { Touch(); }

  std::string m_sName;
  int m_iId = -1;  // -1 while not stored
  std::string m_sDisplayName;
  std::string m_sTextA;
  std::string m_sTextB;
  unsigned int m_uPropertyC = 0;
  bool m_bConfigured = false;  // TestStateA
  bool m_bStateB = false;      // TestStateB
  bool m_bShownFlag = true;    // IsShown
  unsigned int m_uPropertyD = 0;  // GetPropertyD

 private:
  // Asks the owning instance for the object's handle (platform/mac).
  unsigned long long GiveHandle() const;
  // Sets the touched mark and enters the object in its instance's list of
  // touched objects (platform/mac).
  void MarkTouched();

  ZQMACGraphHome* m_pHome = nullptr;  // null while no instance owns the object
  // 0 until a handle is asked for; written under the instance's registry
  // mutex, read without it.
  mutable std::atomic<unsigned int> m_uHandle{0};
  std::size_t m_uSlot = 0;  // where the instance keeps the object among its own
  // Whether the object is among its instance's own: written under the
  // instance's registry mutex, read without it (OwnsObject, which every
  // listing asks of every object it lists, from any number of threads).
  std::atomic<bool> m_bEntered{false};
  std::atomic<bool> m_bTouched{false};
};

// The device part of a library controller or a drive path: the unit as one
// media agent reaches it.
class ZQMACScsiUnit : public virtual ZQMACBase {
 public:
  ZQMACScsiUnit() = default;
  ZQMACScsiUnit(const ZQMACScsiUnit&) = default;
  ZQMACScsiUnit& operator=(const ZQMACScsiUnit&) = delete;
  ~ZQMACScsiUnit() override;

  const std::string& GetServerHostName() const { return m_sServerHostName; }
  int SetServerHostName(const std::string& host) {
    NoteChange();
    m_sServerHostName = host;
    MarkChanged(&m_sServerHostName);
    return 1;
  }
  // The media agent that reaches the unit.
  ZQMACMediaAgent* GetMediaAgent() const { return m_pMediaAgent; }
  // The unit's description text.
  virtual std::string GetUnitText() const;

  // ---- the unit as the library listing shows it ----
  // The controller's text in the listing's controller items.
  const std::string& GetControllerText() const { return m_sControllerText; }
  // The unit's own address number (used when its controller type is 2).
  unsigned int GetAddress() const { return m_uAddress; }
  // The type number of the controller or drive path.
  unsigned int GetControllerType() const { return m_uControllerType; }
  // Selects the further controllers of a library that the listing sends.
  bool TestStateC() const { return m_bStateC; }
  // ---- end of the listing block ----

  // ---- the unit as the drive listing shows it ----
  // A drive path's two texts: the one sent beside its handle, and its
  // detail (for example the device file the agent reaches it through).
  const std::string& GetPathText() const { return m_sPathText; }
  const std::string& GetPathDetail() const { return m_sPathDetail; }
  // A drive path's own flag (sent as it stands).
  bool TestStateF() const { return m_bStateF; }
  // A library controller's text for the ACSLS drive-id query.
  const std::string& GetAcslsText() const { return m_sAcslsText; }
  // ---- end of the drive listing block ----

  // ---- the unit as detection shows it ----
  // The first two numbers of the unit's address (GetAddress is the third).
  unsigned int GetAddressPartA() const { return m_uAddressPartA; }
  unsigned int GetAddressPartB() const { return m_uAddressPartB; }
  // The host through which the unit is reached (IP and proxied units).
  const std::string& GetUnitHostName() const { return m_sUnitHostName; }
  // ---- end of the detection block ----

 protected:
  friend class ZQMACGraph;

  std::string m_sServerHostName;
  unsigned int m_uAddressPartA = 0;  // detection block
  unsigned int m_uAddressPartB = 0;
  std::string m_sUnitHostName;
  ZQMACMediaAgent* m_pMediaAgent = nullptr;

  // ---- fields of the listing block (a loader fills them) ----
  std::string m_sControllerText;
  unsigned int m_uAddress = 0;
  unsigned int m_uControllerType = 0;
  bool m_bStateC = false;
  // ---- end of the listing fields ----

  // ---- fields of the drive listing block (a loader fills them) ----
  std::string m_sPathText;
  std::string m_sPathDetail;
  bool m_bStateF = false;
  std::string m_sAcslsText;
  // ---- end of the drive listing fields ----
};

// A generic named entry (a cost category, the controller group of a
// library, ...). Its object type is set when it is made.
class ZQMACNode : public ZQMACInterface {
 public:
  ZQMACNode() = default;
  ZQMACNode(const std::string& name, unsigned int objectType) : m_uNodeType(objectType) { m_sName = name; }
  ZQMACNode(const ZQMACNode&) = default;
  ~ZQMACNode() override;

  unsigned int GetObjectType() const override;
  ZQMACLms* GetLms() override;

 protected:
  friend class ZQMACGraph;
  void ForgetObjects(const ZQMACGone& gone) override;

  unsigned int m_uNodeType = ZQMAC_OBJ_NODE;
  ZQMACLms* m_pLms = nullptr;
};
