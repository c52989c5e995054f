// Media-management table access for the media-configuration object model:
// the one-read load of the stored configuration and the model's changes.
#include "platform/db/TextWidth.h"
#include "platform/mmdb/MMMediaConfigDB.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <atomic>
#include <deque>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "Db/MMRowRecords.h"
#include "Db/Tbl/MMDeviceController.h"
#include "Db/Tbl/MMDrive.h"
#include "Db/Tbl/MMDrivePool.h"
#include "Db/Tbl/MMLibrary.h"
#include "Db/Tbl/MMMountPath.h"
#include "platform/db/DBSession.h"
#include "platform/db/DBtable.h"
#include "platform/journal/Journal.h"
#include "platform/mmdb/MMBirthLedger.h"
#include "platform/mmdb/MMCenteraClusterDB.h"
#include "platform/mmdb/MMChangeLogHeader.h"
#include "platform/mmdb/MMConfigChangeLog.h"
#include "platform/mmdb/MMDRUHostDB.h"
#include "platform/mmdb/MMLayouts.h"
#include "platform/mmdb/MMLibraryDB.h"
#include "platform/mmdb/MMRows.h"
#include "platform/mmdb/MMStoredReferences.h"
#include "platform/security/StoredPassword.h"

namespace {

// The width of a char-array field, without its terminator.
#define MM_WIDTH(Row, Field) (sizeof(Row{}.Field) - 1)


using KindInfo = MMStoredKindRow;
using Settable = MMSettableColumn;

const KindInfo& kindInfo(MMStoredKind kind) { return storedKind(kind); }

std::string quoted(const char* name) { return std::string("\"") + name + "\""; }

// Reading the cells of a scanned row. A cell that is not what its column
// holds fails the whole load: a graph built from guessed values would be
// written back as if it were the configuration. The row's cells are read
// in one call when the reader is made: a load reads every column of tens of
// thousands of rows, and a call into the engine per column was a tenth of
// its time. `cells` holds as many cells as the scan selects columns, and
// is the scan's, not the row's: the rows of a scan use it in turn. The
// columns `onDemand` names (bit 1 << column) are read only when asked for:
// their cells in `cells` are left as an earlier row had them.
class RowReader {
 public:
  RowReader(const char* table, const tkdb::RowView& row, const std::vector<size_t>& widths, tkdb::DbCell* cells,
            std::uint64_t onDemand = 0)
      : m_table(table),
        m_row(row),
        m_widths(widths),
        m_cells(cells),
        m_onDemand(onDemand),
        m_count(row.read(cells, static_cast<int>(widths.size()), onDemand)) {}

  int integer(size_t i) {
    const tkdb::DbCell cell = at(i);
    if (cell.type == tkdb::DbValue::Type::Int && cell.i >= INT_MIN && cell.i <= INT_MAX)
      return static_cast<int>(cell.i);  // the common case, without parsing
    long long value = 0;
    if (i >= size() || !tkdb::integerOf(cell.value(), value, false) || value < INT_MIN || value > INT_MAX) {
      bad(i);
      return 0;
    }
    return static_cast<int>(value);
  }
  // A number that cannot be negative (a count, a limit).
  int count(size_t i) {
    const int value = integer(i);
    if (value < 0) bad(i);
    return value;
  }
  long long wide(size_t i) {
    const tkdb::DbCell cell = at(i);
    if (cell.type == tkdb::DbValue::Type::Int) return cell.i;
    long long value = 0;
    if (i >= size() || !tkdb::integerOf(cell.value(), value, false)) bad(i);
    return value;
  }
  // The text, cut on a character boundary to the width of its column,
  // into `out` (assigned where it lies: a record is filled in place).
  void text(size_t i, std::string& out) {
    if (i >= size() || i >= m_widths.size()) {
      bad(i);
      out.clear();
      return;
    }
    const size_t width = m_widths[i];
    const tkdb::DbCell cell = at(i);
    if (cell.type == tkdb::DbValue::Type::Text) {
      std::string_view v = cell.text;
      if (v.size() > width) v = v.substr(0, tkdb::cutOnCharacter(v, width));
      out.assign(v.data(), v.size());
      return;
    }
    if (cell.type == tkdb::DbValue::Type::Null) {
      out.clear();
      return;
    }
    out = tkdb::textOf(cell.value());
    if (out.size() > width) out.resize(tkdb::cutOnCharacter(out, width));
  }
  bool ok() const { return m_bad.empty(); }
  const std::string& problem() const { return m_bad; }

 private:
  size_t size() const { return static_cast<size_t>(m_count); }
  tkdb::DbCell at(size_t i) const {
    if (i >= size()) return tkdb::DbCell();
    if (i < 64 && ((m_onDemand >> i) & 1u) != 0) return m_row.at(static_cast<int>(i));
    return m_cells[i];
  }
  void bad(size_t i) {
    if (m_bad.empty())
      m_bad = std::string("A row of ") + m_table + " holds an unusable value in column " + std::to_string(i + 1) + ".";
  }
  const char* m_table;
  const tkdb::RowView& m_row;
  const std::vector<size_t>& m_widths;
  const tkdb::DbCell* m_cells;
  std::uint64_t m_onDemand;
  int m_count;
  std::string m_bad;
};

// One column a scan selects, taken by name from the column table that
// describes its row (a binding's, or a layout's for a row without one): the
// select list and the width a text is read with come from that one
// description and are never restated here. `alias` names the table in a
// join. A value that no row describes (an aggregate, a table of the model's
// own) says what it is instead.
struct Pick {
  Pick(const ZQDBColumns& table, const char* column, const char* alias = nullptr)
      : table(&table), column(column), alias(alias) {}
  Pick(const MMLayout& layout, const char* column, const char* alias = nullptr)
      : table(nullptr), layout(&layout), column(column), alias(alias) {}
  // A number no row describes: `expression` as it stands.
  static Pick number(const char* expression) { return Pick(expression, 0); }
  // A text no row describes, read with `width`.
  static Pick text(const char* expression, size_t width) { return Pick(expression, width); }

  const ZQDBColumns* table = nullptr;
  const MMLayout* layout = nullptr;
  const char* column;
  const char* alias = nullptr;
  size_t width = 0;

 private:
  Pick(const char* expression, size_t width) : column(expression), width(width) {}
};

// A scan: its SQL and the width of each column it selects (0: a number;
// npos: a text of any length).
struct Scan {
  std::string sql;
  std::vector<size_t> widths;
  std::uint64_t onDemand = 0;  // the columns read only when asked for (RowReader)
};

// The scan, with `columns` read only when asked for.
Scan readOnDemand(Scan scan, std::initializer_list<int> columns) {
  for (int column : columns) scan.onDemand |= std::uint64_t{1} << column;
  return scan;
}

// The width a column's field gives its texts.
size_t widthOf(const ZQDBColumnDesc& column) {
  switch (column.field) {
    case ZQDBFieldKind::FixedText: return column.size - 1;
    case ZQDBFieldKind::HeapText: return std::string::npos;
    default: return 0;
  }
}

// "SELECT <the picked columns> <rest>". A column its table does not describe
// is a fault of this file that every load would meet: it stops the process
// at the first load rather than read a guessed width.
Scan scanOf(std::initializer_list<Pick> picks, const char* rest) {
  Scan scan;
  scan.sql = "SELECT ";
  for (const Pick& pick : picks) {
    if (scan.widths.size() > 0) scan.sql += ", ";
    if (pick.table == nullptr && pick.layout == nullptr) {
      scan.sql += pick.column;
      scan.widths.push_back(pick.width);
      continue;
    }
    const ZQDBColumnDesc* cols = pick.table != nullptr ? pick.table->cols : pick.layout->cols;
    const int count = pick.table != nullptr ? pick.table->count : pick.layout->count;
    const ZQDBColumnDesc* found = nullptr;
    for (int i = 0; i < count && found == nullptr; ++i)
      if (std::strcmp(cols[i].name, pick.column) == 0) found = &cols[i];
    if (found == nullptr) {
      std::fprintf(stderr, "The model loader selects the column %s, which its row does not describe.\n",
                   pick.column);
      std::abort();
    }
    if (pick.alias != nullptr) scan.sql += std::string(pick.alias) + ".";
    scan.sql += quoted(found->name);
    scan.widths.push_back(widthOf(*found));
  }
  scan.sql += " ";
  scan.sql += rest;
  return scan;
}

// What a scan returns when a cell is unusable (its text in `problem`).
constexpr int kBadValue = -3;

// Which rows the scans of a load read: every row, or (a re-read) per kind
// only the rows of the objects the change log names after `since`, and
// none at all of a kind it names nothing of.
struct ScanFilter {
  long long since = 0;
  bool whole[kStoredKinds] = {};  // the kind is read whole all the same
  bool none[kStoredKinds] = {};   // nothing of the kind changed: no scan
};

// The scan's text for the filter: the scan itself, or with its rows cut
// down to those the change log names (the key is what the scan orders by).
std::string scanText(const Scan& how, MMStoredKind kind, const ScanFilter* filter) {
  if (filter == nullptr || filter->whole[static_cast<int>(kind)]) return how.sql;
  static constexpr const char kOrder[] = " ORDER BY ";
  const size_t at = how.sql.rfind(kOrder);
  if (at == std::string::npos) return how.sql;
  const std::string key = how.sql.substr(at + sizeof kOrder - 1);
  return how.sql.substr(0, at) + " WHERE " + tkmmdb::changedKeysFilter(key, static_cast<int>(kind)) +
         how.sql.substr(at);
}

// How many rows the last whole read of each kind found: the next whole
// read makes room for as many up front, instead of growing its list (and
// moving every record read so far) as the rows come. Only a hint.
std::atomic<size_t> g_wholeRows[kStoredKinds];

// One scan: the rows of `sql` (as the filter cuts them down), each filled
// into a new record where it lies by `read`.
template <class Rows, class Read>
int scan(tkdb::Session& s, MMStoredKind kind, const ScanFilter* filter, const Scan& how, Rows& out,
         std::string& problem, Read read) {
  out.clear();
  const char* table = storedKind(kind).table;
  if (filter != nullptr && filter->none[static_cast<int>(kind)]) return DB_OK;
  const bool cut = filter != nullptr && !filter->whole[static_cast<int>(kind)];
  std::atomic<size_t>& wholeRows = g_wholeRows[static_cast<int>(kind)];
  if (!cut) out.reserve(wholeRows.load(std::memory_order_relaxed));
  std::vector<tkdb::DbValue> params;
  if (cut) params.emplace_back(filter->since);
  std::vector<tkdb::DbCell> cells(how.widths.size());
  const int code = s.each(scanText(how, kind, filter), params, [&](const tkdb::RowView& row) {
    RowReader r(table, row, how.widths, cells.data(), how.onDemand);
    read(r, out.emplace_back());
    if (!r.ok()) {
      problem = r.problem();
      return kBadValue;
    }
    return int(DB_OK);
  });
  if (!cut && code == DB_OK) wholeRows.store(out.size(), std::memory_order_relaxed);
  return code;
}

// The width of a text setting's column; 0 for a number or a setting the
// kind does not have.
std::size_t textWidthOf(const KindInfo& info, const MMStoredColumn& setting) {
  if (setting.value.type != tkdb::DbValue::Type::Text) return 0;
  for (const Settable& s : info.settable)
    if (s.column == setting.column) return s.textWidth;
  return 0;
}

// A text setting's width check; "" when it fits.
std::string checkSetting(const KindInfo& info, const MMStoredColumn& setting) {
  for (const Settable& s : info.settable) {
    if (s.column != setting.column) continue;
    if (s.textWidth == 0) {
      if (setting.value.type != tkdb::DbValue::Type::Int) return "The " + s.column + " of a " + info.what + " is a number.";
      if (setting.value.i < INT_MIN || setting.value.i > INT_MAX)
        return "The " + s.column + " of a " + info.what + " is out of range.";
      return "";
    }
    if (setting.value.type != tkdb::DbValue::Type::Text || setting.mask != 0)
      return "The " + s.column + " of a " + info.what + " is a text.";
    if (setting.value.s.size() > s.textWidth) {
      // A user name too long for the proxy password it carries names that.
      std::string refusal;
      if (!tkpassword::proxyPasswordFits(setting.value.s, s.textWidth, refusal)) return refusal;
      tkdb::fitsColumn(s.column + " of a " + info.what, setting.value.s, s.textWidth, refusal);
      return refusal;
    }
    return "";
  }
  return "A " + std::string(info.what) + " has no setting " + setting.column + ".";
}

// The stored configuration as the configuration's load reads it: each
// kind's rows in chunks as they come (MMRowChunks).
struct MMStoredChunks {
  MMRowChunks<MMStoredMediaAgent> mediaAgents;
  MMRowChunks<MMStoredLibrary> libraries;
  MMRowChunks<MMStoredLibraryController> libraryControllers;
  MMRowChunks<MMStoredMasterPool> masterPools;
  MMRowChunks<MMStoredDrivePool> drivePools;
  MMRowChunks<MMStoredDrive> drives;
  MMRowChunks<MMStoredDrivePath> drivePaths;
  MMRowChunks<MMStoredMountPath> mountPaths;
  MMRowChunks<MMStoredDevice> devices;
  MMRowChunks<MMStoredDeviceController> deviceControllers;
  MMRowChunks<MMStoredCopyManager> copyManagers;
};

// Every scan of the load, in order, into an MMStoredConfig or
// MMStoredChunks; the engine's code, or kBadValue.
template <class Config>
int scanAll(tkdb::Session& s, Config& out, std::string& problem, const ScanFilter* filter = nullptr) {
    const ZQDBColumns& library = MMLibrary_t::zqdbColumns();
    const ZQDBColumns& drivePool = MMDrivePool_t::zqdbColumns();
    const ZQDBColumns& drive = MMDrive_t::zqdbColumns();
    const ZQDBColumns& mountPath = MMMountPath_t::zqdbColumns();
    const ZQDBColumns& controller = MMDeviceController_t::zqdbColumns();
    const MMLayout& host = tkmmdb::hostLayout();
    const MMLayout& client = tkmmdb::clientLayout();
    const MMLayout& libraryController = tkmmdb::libraryControllerLayout();
    const MMLayout& masterPool = tkmmdb::masterPoolLayout();
    const MMLayout& device = tkmmdb::deviceLayout();

    static const Scan kMediaAgents =
        scanOf({{host, "ClientId", "H"}, {client, "name", "C"}, {client, "net_hostname", "C"},
                {client, "displayName", "C"}, {client, "simOperatingSystemId", "C"}, {host, "Attribute", "H"}},
               "FROM \"MMHost\" H JOIN \"APP_Client\" C ON C.\"id\" = H.\"ClientId\" ORDER BY H.\"ClientId\"");
    int code = scan(s, MMStoredKind::MediaAgent, filter, kMediaAgents, out.mediaAgents, problem, [](RowReader& r, MMStoredMediaAgent& a) {
      a.clientId = r.integer(0);
      r.text(1, a.name);
      r.text(2, a.netHostName);
      r.text(3, a.displayName);
      a.osId = r.wide(4);
      a.attribute = r.integer(5);
    });
    if (code != DB_OK) return code;
    // A library is laid under the name it answers to (tkmmdb::answeredName):
    // its own name is read only when it has no alias (below).
    static const Scan kLibraries = readOnDemand(
        scanOf({{library, "LibraryId"}, {library, "AliasName"}, {library, "LibraryName"}, {library, "LibraryTypeId"},
                {library, "VTLType"}, {library, "LibraryEnabled"}, {library, "BarCodeReaderPresent"},
                {library, "DriveCount"}, {library, "BaseAddress"}, {library, "LibraryAttribute"},
                {library, "ExtendedAttributes"}, {library, "LowWaterMarkMB"}, {library, "LibraryVendor"},
                {library, "LibraryModel"}, {library, "FirmwareRevision"}, {library, "SerialNumber"}},
               "FROM \"MMLibrary\" ORDER BY \"LibraryId\""),
        {2});
    code = scan(s, MMStoredKind::Library, filter, kLibraries, out.libraries, problem, [](RowReader& r, MMStoredLibrary& l) {
      l.libraryId = r.integer(0);
      r.text(1, l.aliasName);
      l.name = l.aliasName;
      if (l.name.empty()) r.text(2, l.name);
      l.libraryTypeId = r.integer(3);
      l.vtlType = r.integer(4);
      l.enabled = r.integer(5);
      l.barCodeReader = r.integer(6);
      l.driveCount = r.integer(7);
      l.baseAddress = r.integer(8);
      l.libraryAttribute = r.integer(9);
      l.extendedAttributes = r.integer(10);
      l.lowWaterMarkMB = r.integer(11);
      r.text(12, l.vendor);
      r.text(13, l.model);
      r.text(14, l.firmware);
      r.text(15, l.serial);
    });
    if (code != DB_OK) return code;
    static const Scan kControllers =
        scanOf({{libraryController, "LibraryControllerId"}, {libraryController, "ControllerName"},
                {libraryController, "ClientId"}, {libraryController, "LibraryId"}, {libraryController, "IsActive"},
                {libraryController, "IsEnabled"}, {libraryController, "ControllerType"}},
               "FROM \"MMLibraryController\" ORDER BY \"LibraryControllerId\"");
    code = scan(s, MMStoredKind::LibraryController, filter, kControllers, out.libraryControllers, problem, [](RowReader& r, MMStoredLibraryController& c) {
      c.id = r.integer(0);
      r.text(1, c.name);
      c.clientId = r.integer(2);
      c.libraryId = r.integer(3);
      c.isActive = r.integer(4);
      c.isEnabled = r.integer(5);
      c.controllerType = r.integer(6);
    });
    if (code != DB_OK) return code;
    static const Scan kMasterPools =
        scanOf({{masterPool, "MasterPoolId"}, {masterPool, "MasterPoolName"}, {masterPool, "LibraryId"},
                {masterPool, "MasterPoolType"}},
               "FROM \"MMMasterPool\" ORDER BY \"MasterPoolId\"");
    code = scan(s, MMStoredKind::MasterPool, filter, kMasterPools, out.masterPools, problem, [](RowReader& r, MMStoredMasterPool& m) {
      m.id = r.integer(0);
      r.text(1, m.name);
      m.libraryId = r.integer(2);
      m.type = r.integer(3);
    });
    if (code != DB_OK) return code;
    // The description of an NDMP pool names the NDMP server it reaches; it
    // is read whole, as its column holds it.
    static const Scan kDrivePools =
        scanOf({{drivePool, "DrivePoolId"}, {drivePool, "DrivePoolName"}, {drivePool, "MasterPoolId"},
                {drivePool, "ClientId"}, {drivePool, "DrivePoolType"}, {drivePool, "DrivePoolEnabled"},
                {drivePool, "CopyManagerCtrlId"}, {drivePool, "CostCategoryId"}, {drivePool, "Descript"}},
               "FROM \"MMDrivePool\" ORDER BY \"DrivePoolId\"");
    code = scan(s, MMStoredKind::DrivePool, filter, kDrivePools, out.drivePools, problem, [](RowReader& r, MMStoredDrivePool& p) {
      p.id = r.integer(0);
      r.text(1, p.name);
      p.masterPoolId = r.integer(2);
      p.clientId = r.integer(3);
      p.type = r.integer(4);
      p.enabled = r.integer(5);
      p.copyManagerCtrlId = r.integer(6);
      p.costCategoryId = r.integer(7);
      r.text(8, p.proxyHost);  // a NULL description reads as ""
    });
    if (code != DB_OK) return code;
    // The drive's own name is read only when it has no alias (below).
    static const Scan kDrives = readOnDemand(
        scanOf({{drive, "DriveId"}, {drive, "AliasName"}, {drive, "DriveName"}, {drive, "SerialNumber"},
                {drive, "MasterPoolId"}, {drive, "DriveNumber"}, {drive, "DriveEnabled"}, {drive, "DriveVendor"},
                {drive, "DriveModel"}, {drive, "FirmwareRevision"}},
               "FROM \"MMDrive\" ORDER BY \"DriveId\""),
        {2});
    code = scan(s, MMStoredKind::Drive, filter, kDrives, out.drives, problem, [](RowReader& r, MMStoredDrive& d) {
      d.id = r.integer(0);
      r.text(1, d.aliasName);
      d.name = d.aliasName;
      if (d.name.empty()) r.text(2, d.name);
      r.text(3, d.serialNumber);
      d.masterPoolId = r.integer(4);
      d.driveNumber = r.integer(5);
      d.enabled = r.integer(6);
      r.text(7, d.vendor);
      r.text(8, d.model);
      r.text(9, d.firmware);
    });
    if (code != DB_OK) return code;
    // The drive-path table is the model's own: no row describes it.
    static const Scan kDrivePaths =
        scanOf({Pick::number("\"DrivePathId\""), Pick::number("\"DriveId\""), Pick::number("\"DrivePoolId\""),
                Pick::number("\"ClientId\""), Pick::text("\"PathName\"", storedKind(MMStoredKind::DrivePath).nameWidth),
                Pick::number("\"IsEnabled\"")},
               "FROM \"MMDrivePath\" ORDER BY \"DrivePathId\"");
    code = scan(s, MMStoredKind::DrivePath, filter, kDrivePaths, out.drivePaths, problem, [](RowReader& r, MMStoredDrivePath& p) {
      p.id = r.integer(0);
      p.driveId = r.integer(1);
      p.drivePoolId = r.integer(2);
      p.clientId = r.integer(3);
      r.text(4, p.pathName);
      p.enabled = r.integer(5);
    });
    if (code != DB_OK) return code;
    static const Scan kMountPaths =
        scanOf({{mountPath, "MountPathId", "M"}, {mountPath, "MountPathName", "M"}, {mountPath, "UserName", "M"},
                {mountPath, "LibraryId", "M"}, {mountPath, "MountPathTypeId", "M"}, {mountPath, "IsEnabled", "M"},
                // Looked up per mount path (an index holds both columns),
                // so that a read of a few mount paths reads no other's.
                Pick::number("(SELECT MIN(D.\"DeviceId\") FROM \"MMMountPathToStorageDevice\" D "
                             "WHERE D.\"MountPathId\" = M.\"MountPathId\")")},
               "FROM \"MMMountPath\" M ORDER BY M.\"MountPathId\"");
    code = scan(s, MMStoredKind::MountPath, filter, kMountPaths, out.mountPaths, problem, [](RowReader& r, MMStoredMountPath& m) {
      m.id = r.integer(0);
      r.text(1, m.name);
      r.text(2, m.userName);
      m.libraryId = r.integer(3);
      m.typeId = r.integer(4);
      m.enabled = r.integer(5);
      m.deviceId = r.integer(6);
    });
    if (code != DB_OK) return code;
    // The device record has no field for the DRU host.
    static const Scan kDevices =
        scanOf({{device, "DeviceId"}, {device, "AliasName"}, {device, "DeviceTypeId"}, Pick::number("\"DRUHostId\"")},
               "FROM \"MMDevice\" ORDER BY \"DeviceId\"");
    code = scan(s, MMStoredKind::Device, filter, kDevices, out.devices, problem, [](RowReader& r, MMStoredDevice& d) {
      d.id = r.integer(0);
      r.text(1, d.name);
      d.typeId = r.integer(2);
      d.druHostId = r.integer(3);
    });
    if (code != DB_OK) return code;
    static const Scan kDeviceControllers =
        scanOf({{controller, "DeviceControllerId"}, {controller, "ClientId"}, {controller, "DeviceId"},
                {controller, "Folder"}, {controller, "UserName"}, {controller, "DeviceControllerEnabled"},
                {controller, "DeviceAccessType"}, {controller, "CredentialAssocId"}, {controller, "SNRVolumeId"}},
               "FROM \"MMDeviceController\" ORDER BY \"DeviceControllerId\"");
    code = scan(s, MMStoredKind::DeviceController, filter, kDeviceControllers, out.deviceControllers, problem, [](RowReader& r, MMStoredDeviceController& c) {
      c.id = r.integer(0);
      c.clientId = r.integer(1);
      c.deviceId = r.integer(2);
      r.text(3, c.folder);
      r.text(4, c.userName);
      c.enabled = r.integer(5);
      c.accessType = r.integer(6);
      c.credentialAssocId = r.integer(7);
      c.snrVolumeId = r.integer(8);
    });
    if (code != DB_OK) return code;
    // The table has no record of its own.
    static const Scan kCopyManagers =
        scanOf({Pick::number("\"CopyManagerId\""), Pick::text("\"CopyManagerName\"", MMCopyManagerDB::kNameWidth),
                Pick::number("\"ConcurrencyLimit\""), Pick::number("\"ClientId\""),
                Pick::text("\"ControllerName\"", MMCopyManagerDB::kNameWidth)},
               "FROM \"MMCopyManager\" ORDER BY \"CopyManagerId\"");
    return scan(s, MMStoredKind::CopyManager, filter, kCopyManagers, out.copyManagers, problem, [](RowReader& r, MMStoredCopyManager& c) {
      c.id = r.integer(0);
      r.text(1, c.name);
      c.concurrencyLimit = r.count(2);
      c.clientId = r.integer(3);
      r.text(4, c.controllerName);
    });
}

}  // namespace

// ---------------------------------------------------------------- load

int MMMediaConfigDB::loadAll(MMStoredConfig& out, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::loadAll";
  if (!beginCall(kTag, mmTranText(tran))) return -1;
  MMStoredConfig loaded;
  int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    std::string problem;
    int code = scanAll(s, loaded, problem);
    if (code == kBadValue) {
      refusal = {MMS2_ERROR_BAD_VALUE, 0, problem, false};
      return kRefused;
    }
    return code;
  });
  if (rc != 0) return rc;
  out = std::move(loaded);
  return 0;
}

namespace {

using tkmmdb::LogHeader;

int rowId(const MMStoredMediaAgent& r) { return r.clientId; }
int rowId(const MMStoredLibrary& r) { return r.libraryId; }
template <class Row>
int rowId(const Row& r) {
  return r.id;
}

// What the process last read of the central database, and where it stands
// in that database's change log.
struct ReadCache {
  std::mutex mutex;  // held through a re-read: one at a time updates it
  bool valid = false;
  std::string path;
  std::string epoch;
  long long seq = 0;  // the highest change-log entry read
  std::optional<long long> stamp;  // the stamp of that entry (none: the log was empty)
  MMStoredSnapshot rows;
  // The vendor catalogues, DRU hosts and archive clusters read beside the
  // rows, and the place in the log they were read at (besideSeq -1: none
  // kept).
  std::string besideEpoch;
  long long besideSeq = -1;
  std::vector<MMStoredVendorEntry> catalogues;
  std::vector<MMStoredDRUHost> druHosts;
  std::vector<MMStoredCenteraCluster> clusters;
};

ReadCache& readCache() {
  static ReadCache* cache = new ReadCache();  // lives for the whole process
  return *cache;
}

// The kind's new list: the earlier one without the objects named as
// changed, with the rows read again in their place (both in id order). It
// shares every chunk of rows the change left alone with the earlier list.
template <class Row>
MMStoredSnapshot::List<Row> merged(const MMStoredSnapshot::List<Row>& before, MMRowChunks<Row>& fresh,
                                   bool whole, std::vector<int>& changed) {
  if (whole || !before) return std::make_shared<const MMRowList<Row>>(std::move(fresh));
  if (changed.empty()) return before;
  std::sort(changed.begin(), changed.end());
  std::vector<Row> rows = std::move(fresh).rows();
  return std::make_shared<const MMRowList<Row>>(
      mergedRows(*before, rows, changed, [](const Row& row) { return rowId(row); }));
}

// Marks each kind whose changed rows are more than half of the rows
// `kept` holds of it (and more than a few hundred) to be read whole.
void readWholeWhereMostChanged(const MMStoredSnapshot& kept, LogHeader& header) {
  kept.forEachList(kept, [&](MMStoredKind kind, const auto& rows, const auto&) {
    const int k = static_cast<int>(kind);
    const std::size_t held = rows != nullptr ? rows->size() : 0;
    if (header.changed[k].size() > std::max<std::size_t>(512, held / 2)) header.whole[k] = true;
  });
}

template <class Row>
MMStoredSnapshot::List<Row> whole(MMRowChunks<Row>& rows) {
  return std::make_shared<const MMRowList<Row>>(std::move(rows));
}

}  // namespace

int MMMediaConfigDB::loadCurrent(MMStoredSnapshot& out) {
  static constexpr const char* kTag = "MMMediaConfigDB::loadCurrent";
  if (!beginCall(kTag)) return -1;
  tkmmdb::registerChangeLog();
  // Inside the thread's transaction the read sees changes that may be
  // rolled back: nothing of it is kept, and nothing kept is used.
  const bool keep = !tkdb::threadTransactionOpen();
  ReadCache& cache = readCache();
  const std::string path = tkdb::currentDatabasePath();
  // A trigger of the log replaced by hand is made again (and the log's
  // readers told to read everything) before the log is believed: by a look
  // of its own when the process keeps no read to go by, else when the
  // schema's version, read with the log's header, moved since the triggers
  // were last found in place (replacing one moves it).
  bool triggersLooked = false;
  {
    std::unique_lock<std::mutex> peek(cache.mutex, std::defer_lock);
    if (keep) peek.lock();
    if (!(keep && cache.valid && cache.path == path)) {
      if (peek.owns_lock()) peek.unlock();
      tkdb::checkOwnedTriggers();
      triggersLooked = true;
    }
  }
  std::unique_lock<std::mutex> guard(cache.mutex, std::defer_lock);
  if (keep) guard.lock();
  bool known = keep && cache.valid && cache.path == path;
  long long since = known ? cache.seq : LLONG_MAX;

  // Whether the log tells all that changed since the kept read.
  // The entry read last must still be there as it was read: a log that
  // went back and grew again holds other entries under the same numbers.
  auto continues = [&](const LogHeader& header, bool triggersThere) {
    return known && triggersThere && header.epoch == cache.epoch && header.pruned <= cache.seq &&
           cache.seq <= header.newest && header.sinceStamp == cache.stamp;
  };

  // The header read just before the load's own found every trigger of the
  // log there, with no look at them between.
  bool quickFoundTriggers = false;
  if (known) {
    // Most reads find nothing changed. The header alone tells that: one
    // statement, a consistent read by itself, with no transaction around
    // it (which would take the write lock). Otherwise, or when it cannot
    // tell, the read below reads the header again with the rows.
    LogHeader quick;
    tkdb::Session s;
    const int logged = tkmmdb::readLogHeader(s, since, tkmmdb::triggersMustBeCounted(), quick);
    const bool triggersThere = tkmmdb::allTriggersThere(quick, logged, keep);
    if (!triggersLooked && !(quick.schemaNow && tkdb::ownedTriggersInPlaceAt(*quick.schemaNow))) {
      // They are looked at now, without holding up the other readers; what
      // the process keeps may have moved on meanwhile.
      guard.unlock();
      tkdb::checkOwnedTriggers();
      guard.lock();
      known = cache.valid && cache.path == path;
      since = known ? cache.seq : LLONG_MAX;
    } else if (continues(quick, triggersThere) && quick.newest == cache.seq) {
      // No entry after the kept read's newest one: the log names nothing.
      if (tkmmdb::journalOn()) tkmmdb::journal().record("MMMediaConfigDB::loadCurrent.read", {"part", "0"});
      out = cache.rows;
      tkmmdb::followBirthsFrom(cache.epoch, cache.seq, cache.stamp);
      return 0;
    } else {
      quickFoundTriggers = triggersThere;
    }
  }

  MMStoredChunks loaded;
  LogHeader header;
  bool incremental = false;
  bool triggersComplete = false;
  ScanFilter filter;
  int rc = atomically(kTag, nullptr, [&](tkdb::Session& s, Refusal& refusal) -> int {
    // The header again, in the read that reads the rows. A database that
    // cannot say reads everything. The read's own transaction changes no
    // schema: the version it read is kept as a read outside one would be,
    // so that the next read of the log (the rows born again, right after
    // this load) need not count the triggers again. Nor does this run
    // count them when the header read just before found them all: it is
    // the same statement run again, and when it was compiled again between
    // (the schema moved meanwhile) it knows nothing of them, and everything
    // is read.
    const int logged = tkmmdb::readLogHeader(s, since, !quickFoundTriggers, header, keep);
    triggersComplete = tkmmdb::allTriggersThere(header, logged, keep);
    incremental = continues(header, triggersComplete);
    filter.since = since;
    // A kind with more changed rows than half of those kept is read
    // whole: one scan of its table costs less than picking out that many
    // rows by the log's ids and merging them into the kept list.
    if (incremental) readWholeWhereMostChanged(cache.rows, header);
    for (int k = 0; k < kStoredKinds; ++k) {
      filter.whole[k] = header.whole[k];
      filter.none[k] = !header.whole[k] && header.changed[k].empty();
    }
    std::string problem;
    int code = scanAll(s, loaded, problem, incremental ? &filter : nullptr);
    if (code == kBadValue) {
      refusal = {MMS2_ERROR_BAD_VALUE, 0, problem, false};
      return kRefused;
    }
    if (code == DB_OK && logged != DB_OK) header.epochRows = 0;  // no log to go by
    return code;
  });
  if (rc != 0) return rc;

  // How many rows the read read, counted before they move into the lists.
  size_t read = 0;
  read += loaded.mediaAgents.size() + loaded.libraries.size() + loaded.libraryControllers.size();
  read += loaded.masterPools.size() + loaded.drivePools.size() + loaded.drives.size() + loaded.drivePaths.size();
  read += loaded.mountPaths.size() + loaded.devices.size() + loaded.deviceControllers.size();
  read += loaded.copyManagers.size();

  MMStoredSnapshot rows;
  if (incremental) {
    const MMStoredSnapshot& b = cache.rows;
    auto k = [&](MMStoredKind kind) { return static_cast<int>(kind); };
#define MM_MERGE(field, kind) \
  rows.field = merged(b.field, loaded.field, header.whole[k(kind)], header.changed[k(kind)])
    MM_MERGE(mediaAgents, MMStoredKind::MediaAgent);
    MM_MERGE(libraries, MMStoredKind::Library);
    MM_MERGE(libraryControllers, MMStoredKind::LibraryController);
    MM_MERGE(masterPools, MMStoredKind::MasterPool);
    MM_MERGE(drivePools, MMStoredKind::DrivePool);
    MM_MERGE(drives, MMStoredKind::Drive);
    MM_MERGE(drivePaths, MMStoredKind::DrivePath);
    MM_MERGE(mountPaths, MMStoredKind::MountPath);
    MM_MERGE(devices, MMStoredKind::Device);
    MM_MERGE(deviceControllers, MMStoredKind::DeviceController);
    MM_MERGE(copyManagers, MMStoredKind::CopyManager);
#undef MM_MERGE
  } else {
    rows.mediaAgents = whole(loaded.mediaAgents);
    rows.libraries = whole(loaded.libraries);
    rows.libraryControllers = whole(loaded.libraryControllers);
    rows.masterPools = whole(loaded.masterPools);
    rows.drivePools = whole(loaded.drivePools);
    rows.drives = whole(loaded.drives);
    rows.drivePaths = whole(loaded.drivePaths);
    rows.mountPaths = whole(loaded.mountPaths);
    rows.devices = whole(loaded.devices);
    rows.deviceControllers = whole(loaded.deviceControllers);
    rows.copyManagers = whole(loaded.copyManagers);
  }
  if (tkmmdb::journalOn())
    tkmmdb::journal().record("MMMediaConfigDB::loadCurrent.read", {incremental ? "part" : "whole", std::to_string(read)});
  // The rows born after this place of the log are others than those read
  // now, whether or not the read is kept: the place of a read inside a
  // transaction holds what the transaction logged (an entry rolled back
  // with it takes its rows along).
  if (header.epochRows == 1 && triggersComplete) {
    rows.bornEpoch = header.epoch;
    rows.bornSeq = header.newest;
    rows.bornStamp = header.newestStamp;
    // A read in part read every entry after `since`: the births among
    // them go with the rows, for the laying that follows.
    if (incremental) {
      rows.bornFrom = since;
      rows.bornFromStamp = header.sinceStamp;
      rows.born = std::make_shared<const std::vector<MMStoredSnapshot::Birth>>(std::move(header.born));
    }
  }
  if (keep) {
    // Kept only when the log can tell the next read what changed since.
    cache.valid = header.epochRows == 1 && triggersComplete;
    cache.path = path;
    cache.epoch = header.epoch;
    cache.seq = header.newest;
    cache.stamp = header.newestStamp;
    // What was kept beside a read of another history, or of a log that
    // went back since, may stand at the very place of this one.
    if (!incremental) cache.besideSeq = -1;
    if (cache.valid) {
      rows.logEpoch = header.epoch;
      rows.logSeq = header.newest;
      // The ledger of births follows the log from the first place given
      // out, so that the host's own changes after it never leave it untold.
      tkmmdb::followBirthsFrom(header.epoch, header.newest, header.newestStamp);
    }
    cache.rows = rows;
    cache.rows.born.reset();  // for the laying of this read only
  }
  out = std::move(rows);
  return 0;
}

int MMMediaConfigDB::changeLogMark(long long& mark) {
  static constexpr const char* kTag = "MMMediaConfigDB::changeLogMark";
  if (!beginCall(kTag)) return -1;
  tkmmdb::registerChangeLog();
  mark = -1;
  // The loads' own header query, naming no change (none follows the
  // highest sequence there can be), and their fact of the triggers.
  LogHeader header;
  tkdb::Session s;
  bool complete = false;
  const int rc = tkmmdb::readWholeLogHeader(s, LLONG_MAX, header, complete);
  if (rc != DB_OK) return failDatabase(kTag, rc, s, "The configuration change log could not be read");
  if (complete) mark = header.newest;
  return 0;
}

const std::set<int>* MMBornSince::of(int kind) const {
  static const std::set<int> kNone;
  if (!known) return nullptr;
  auto it = ids.find(kind);
  return it != ids.end() ? &it->second : &kNone;
}

const std::set<int>* MMBornSince::againOf(int kind) const {
  static const std::set<int> kNone;
  if (!known) return nullptr;
  auto it = again.find(kind);
  return it != again.end() ? &it->second : &kNone;
}

int MMMediaConfigDB::bornSince(const std::string& epoch, long long from, long long to, MMBornSince& out,
                               const std::optional<long long>& fromStamp) {
  static constexpr const char* kTag = "MMMediaConfigDB::bornSince";
  if (!beginCall(kTag)) return -1;
  tkmmdb::registerChangeLog();
  out = MMBornSince();
  tkdb::Session s;
  bool known = false;
  tkmmdb::LogNow now;
  const int rc = tkmmdb::withBirthsSince(s, epoch, from, fromStamp, known, now, [&](const tkmmdb::BirthLedger& ledger) {
    ledger.forEach(from, to, [&](const MMStoredSnapshot::Birth& b) { out.add(b.kind, b.id); });
  });
  if (rc != DB_OK) return failDatabase(kTag, rc, s, "The configuration change log could not be read");
  out.epoch = now.epoch;
  out.upTo = std::min(to, now.newest);
  out.known = known && from <= out.upTo;
  if (!out.known) {
    out.ids.clear();
    out.again.clear();
  }
  return 0;
}

int MMMediaConfigDB::bornSince(const MMStoredSnapshot& read, const std::string& epoch, long long from, long long to,
                               MMBornSince& out, const std::optional<long long>& fromStamp) {
  // The read's births serve a span within the read's; a place whose stamp
  // is known, only where the read began, at the entry the read found as it
  // was read there (a later place would need its own entry looked at).
  if (!read.born || read.bornFrom < 0 || epoch != read.bornEpoch || from < read.bornFrom || from > read.bornSeq ||
      (fromStamp && (from != read.bornFrom || fromStamp != read.bornFromStamp)))
    return bornSince(epoch, from, to, out, fromStamp);
  MMBornSince born;
  if (to > read.bornSeq) {
    // Past the read, from the log; a log that no longer tells that part
    // tells nothing of the span.
    const int rc = bornSince(epoch, read.bornSeq, to, born);
    if (rc != 0 || !born.known) {
      out = std::move(born);
      return rc;
    }
  } else {
    born.known = true;
    born.epoch = epoch;
    born.upTo = to;
  }
  for (const MMStoredSnapshot::Birth& b : *read.born)
    if (b.seq > from && b.seq <= to) born.add(b.kind, b.id);
  out = std::move(born);
  return 0;
}

int MMMediaConfigDB::sameRowSince(MMStoredKind kind, int id, const std::string& epoch, long long from,
                                  int ownBirths, const std::optional<long long>& fromStamp) {
  static constexpr const char* kTag = "MMMediaConfigDB::sameRowSince";
  const KindInfo& info = kindInfo(kind);
  if (!beginCall(kTag, info.what, id, from, ownBirths)) return -1;
  tkmmdb::registerChangeLog();
  // The births under the id since the place, from the entries of the log
  // the process has not read yet and what it read before: the log keeps
  // no index of births, which every birth and every prune would pay for.
  tkdb::Session s;
  bool known = false;
  tkmmdb::LogNow now;
  std::size_t born = 0;
  const int rc = tkmmdb::withBirthsSince(s, epoch, from, fromStamp, known, now, [&](const tkmmdb::BirthLedger& ledger) {
    born = ledger.bornAfter(static_cast<int>(kind), id, from);
  });
  if (rc != DB_OK) return failDatabase(kTag, rc, s, "The configuration change log could not be read");
  const std::string object = std::string(info.what) + " with id [" + std::to_string(id) + "]";
  if (!known)
    return failQuiet(kTag, MMS2_ERROR_UNTOLD, 0,
                     "The change log no longer tells whether the " + object +
                         " is the one this session read; nothing was changed. Read the configuration again "
                         "(control 70) and use the handle its listing gives.");
  if (born <= static_cast<std::size_t>(std::max(ownBirths, 0))) return 0;
  return failQuiet(kTag, MMS2_ERROR_NOT_FOUND, DB_NO_ROW, "No " + object + ".");
}

void MMMediaConfigDB::forgetLoaded() {
  ReadCache& cache = readCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  cache.valid = false;
  cache.rows = MMStoredSnapshot();
  cache.besideSeq = -1;
  cache.catalogues.clear();
  cache.druHosts.clear();
  cache.clusters.clear();
}

bool MMMediaConfigDB::keptBeside(const MMStoredSnapshot& snapshot, std::vector<MMStoredVendorEntry>& catalogues,
                                 std::vector<MMStoredDRUHost>& hosts, std::vector<MMStoredCenteraCluster>& clusters) {
  if (snapshot.logSeq < 0) return false;
  ReadCache& cache = readCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  if (cache.besideSeq != snapshot.logSeq || cache.besideEpoch != snapshot.logEpoch ||
      cache.path != tkdb::currentDatabasePath())
    return false;
  catalogues = cache.catalogues;
  hosts = cache.druHosts;
  clusters = cache.clusters;
  return true;
}

void MMMediaConfigDB::keepBeside(const MMStoredSnapshot& snapshot,
                                 const std::vector<MMStoredVendorEntry>& catalogues,
                                 const std::vector<MMStoredDRUHost>& hosts,
                                 const std::vector<MMStoredCenteraCluster>& clusters) {
  if (snapshot.logSeq < 0) return;
  ReadCache& cache = readCache();
  std::lock_guard<std::mutex> guard(cache.mutex);
  // Kept only at the place of the rows the process keeps now: beside an
  // older read they would serve no later read.
  if (!cache.valid || cache.seq != snapshot.logSeq || cache.epoch != snapshot.logEpoch ||
      cache.path != tkdb::currentDatabasePath())
    return;
  cache.besideEpoch = snapshot.logEpoch;
  cache.besideSeq = snapshot.logSeq;
  cache.catalogues = catalogues;
  cache.druHosts = hosts;
  cache.clusters = clusters;
}

// ---------------------------------------------------------------- changes

size_t MMMediaConfigDB::nameWidth(MMStoredKind kind) { return kindInfo(kind).nameWidth; }

const char* MMMediaConfigDB::rowTable(MMStoredKind kind) { return kindInfo(kind).table; }

const char* MMMediaConfigDB::rowKey(MMStoredKind kind) { return kindInfo(kind).key; }

const std::vector<std::string>& MMMediaConfigDB::settableColumns(MMStoredKind kind) {
  static const std::vector<std::vector<std::string>> kByKind = [] {
    std::vector<std::vector<std::string>> byKind;
    for (const MMStoredKindRow& row : storedKinds()) {
      std::vector<std::string>& names = byKind.emplace_back();
      for (const Settable& s : row.settable) names.push_back(s.column);
    }
    return byKind;
  }();
  return kByKind[static_cast<size_t>(kind)];
}

int MMMediaConfigDB::storeObject(MMStoredKind kind, int id, const char* name, int configured,
                                 const std::vector<MMStoredColumn>& settings, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::storeObject";
  const KindInfo& info = kindInfo(kind);
  if (!beginCall(kTag, info.what, id, name, configured, mmTranText(tran))) return -1;
  if (name != nullptr) {
    const std::string what = std::string(info.what) + " name";
    if (!checkText(kTag, what.c_str(), name, info.nameWidth, false)) return -1;
  }
  if (configured != kKeepConfigured && info.enabledColumn == nullptr && info.stateSetting == nullptr &&
      configured != 1)
    return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, std::string("A ") + info.what + " has no configured state.");
  for (const MMStoredColumn& setting : settings) {
    std::string problem = checkSetting(info, setting);
    if (!problem.empty()) return fail(kTag, MMS2_ERROR_BAD_ARGUMENT, 0, problem);
  }
  const std::string missing = "No " + std::string(info.what) + " with id [" + std::to_string(id) + "].";
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int rc = s.queryOne("SELECT 1 FROM " + quoted(info.table) + " WHERE " + quoted(info.key) + " = ?", {id}, row);
    if (rc == DB_NO_ROW) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missing, true};
      return kRefused;
    }
    if (rc != DB_OK) return rc;
    if (name != nullptr) {
      if (kind == MMStoredKind::Library) {
        // A library's name goes by the libraries' one name rule.
        rc = tkmmdb::libraryNameTaken(s, name, id);
        if (rc == DB_OK) {
          refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, tkmmdb::libraryNameTakenText(name), false};
          return kRefused;
        }
        if (rc != DB_NO_ROW) return rc;
      } else if (info.unique) {
        std::string sql = "SELECT 1 FROM " + quoted(info.nameTable) + " WHERE " + quoted(info.nameColumn) +
                          " = ? AND " + quoted(info.nameKey) + " <> ?";
        std::vector<tkdb::DbValue> params{name, id};
        if (info.uniqueScope != nullptr) {
          sql += " AND " + quoted(info.uniqueScope) + " = (SELECT " + quoted(info.uniqueScope) + " FROM " +
                 quoted(info.nameTable) + " WHERE " + quoted(info.nameKey) + " = ?)";
          params.push_back(id);
        }
        rc = s.queryOne(sql, params, row);
        if (rc == DB_OK) {
          refusal = {MMS2_ERROR_DUPLICATE_NAME, 0,
                     "Another " + std::string(info.what) + " is already named [" + name + "].", false};
          return kRefused;
        }
        if (rc != DB_NO_ROW) return rc;
      }
      rc = s.exec("UPDATE " + quoted(info.nameTable) + " SET " + quoted(info.nameColumn) + " = ? WHERE " +
                      quoted(info.nameKey) + " = ?",
                  {name, id});
      if (rc != DB_OK) return rc;
      if (s.changes() == 0) {
        refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missing, true};
        return kRefused;
      }
    }
    // What the change points the object at must be there.
    std::string missingTarget;
    rc = checkStoredReferences(s, kind, id, settings, missingTarget);
    if (rc == DB_NO_ROW) {
      refusal = {MMS2_ERROR_REFERENCE, 0, missingTarget, false};
      return kRefused;
    }
    if (rc != DB_OK) return rc;
    std::string set;
    std::vector<tkdb::DbValue> params;
    if (configured != kKeepConfigured && info.enabledColumn != nullptr) {
      set = quoted(info.enabledColumn) + " = ?";
      params.push_back(configured != 0 ? 1 : 0);
    }
    for (const MMStoredColumn& setting : settings) {
      if (!set.empty()) set += ", ";
      const std::string column = quoted(setting.column.c_str());
      if (setting.mask != 0) {
        const std::string mask = std::to_string(setting.mask);
        set += column + " = ((IFNULL(" + column + ", 0) & ~" + mask + ") | (? & " + mask + "))";
      } else if (const std::size_t width = textWidthOf(info, setting); width > 0) {
        // A text stored longer than its column (an older build's, a hand
        // edit's) is loaded cut to the column: written back as loaded, it
        // stays whole. No write replaces a stored text with its cut copy.
        const std::string w = std::to_string(width);
        set += column + " = (SELECT CASE WHEN length(CAST(" + column + " AS BLOB)) > " + w +
               " AND length(CAST(v.x AS BLOB)) + 4 > " + w + " AND instr(CAST(" + column +
               " AS BLOB), CAST(v.x AS BLOB)) = 1 THEN " + column + " ELSE v.x END FROM (SELECT ? AS x) v)";
      } else {
        set += column + " = ?";
      }
      params.push_back(setting.value);
    }
    if (configured != kKeepConfigured && info.stateSetting != nullptr) {
      rc = s.exec(kMMObjectSettingUpsert,
                  {static_cast<int>(kind), id, info.stateSetting, std::string(configured != 0 ? "1" : "0")});
      if (rc != DB_OK) return rc;
    }
    if (set.empty()) return DB_OK;
    params.push_back(id);
    return s.exec("UPDATE " + quoted(info.table) + " SET " + set + " WHERE " + quoted(info.key) + " = ?", params);
  });
}

int MMMediaConfigDB::removeObject(MMStoredKind kind, int id, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::removeObject";
  const KindInfo& info = kindInfo(kind);
  if (!beginCall(kTag, info.what, id, mmTranText(tran))) return -1;
  const std::string missing = "No " + std::string(info.what) + " with id [" + std::to_string(id) + "].";
  return atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int rc = s.queryOne("SELECT 1 FROM " + quoted(info.table) + " WHERE " + quoted(info.key) + " = ?", {id}, row);
    if (rc == DB_NO_ROW) {
      refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, missing, true};
      return kRefused;
    }
    if (rc != DB_OK) return rc;
    // The kind's steps in order; a refusal ends the removal with nothing
    // removed (the transaction rolls back whatever ran before it).
    for (const MMRemovalStep& step : info.removal) {
      switch (step.what) {
        case MMRemovalStep::Run:
          rc = s.exec(step.sql, {id});
          break;
        case MMRemovalStep::Rows:
          rc = step.rows(s, id);
          break;
        case MMRemovalStep::RefuseWhile:
          rc = s.queryOne(step.sql, {id}, row);
          if (rc == DB_OK) {
            refusal = {MMS2_ERROR_REFERENCE, 0, step.refusal, false};
            return kRefused;
          }
          if (rc == DB_NO_ROW) rc = DB_OK;
          break;
        case MMRemovalStep::RefuseNaming: {
          tkdb::DbRows found;
          rc = s.query(step.sql, {id}, found);
          if (rc == DB_OK && !found.empty()) {
            std::string names;
            for (const tkdb::DbRow& r : found)
              names += (names.empty() ? " [" : ", [") + (r.empty() ? std::string() : tkdb::textOf(r[0])) + "]";
            refusal = {MMS2_ERROR_REFERENCE, 0, std::string(step.refusal) + names + ".", false};
            return kRefused;
          }
          break;
        }
      }
      if (rc != DB_OK) return rc;
    }
    return DB_OK;
  });
}

int MMMediaConfigDB::insertMediaAgent(MMStoredMediaAgent& agent, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertMediaAgent";
  if (!beginCall(kTag, agent.name, agent.attribute, mmTranText(tran))) return -1;
  if (!checkText(kTag, "media agent name", agent.name.c_str(), MM_WIDTH(APP_Client_t, name), false) ||
      !checkText(kTag, "network host name", agent.netHostName.c_str(), MM_WIDTH(APP_Client_t, net_hostname), true))
    return -1;
  long long clientId = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal&) -> int {
    tkdb::DbRow row;
    int code = s.queryOne("SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = ?", {agent.name}, row);
    if (code == DB_NO_ROW) {
      code = s.exec("INSERT INTO \"APP_Client\" (\"name\", \"net_hostname\") VALUES (?, ?)",
                    {agent.name, agent.netHostName});
      if (code != DB_OK) return code;
      clientId = s.lastInsertId();
    } else if (code != DB_OK) {
      return code;
    } else if (row.empty() || !tkdb::integerOf(row[0], clientId, false)) {
      return DB_ERR_CONVERT;
    }
    code = s.queryOne("SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", {clientId}, row);
    if (code == DB_NO_ROW)
      return s.exec("INSERT INTO \"MMHost\" (\"ClientId\", \"Attribute\") VALUES (?, ?)", {clientId, agent.attribute});
    if (code != DB_OK) return code;
    return s.exec("UPDATE \"MMHost\" SET \"Attribute\" = ((IFNULL(\"Attribute\", 0) & ~?) | (? & ?)) WHERE "
                  "\"ClientId\" = ?",
                  {kMMHiddenAttribute, agent.attribute, kMMHiddenAttribute, clientId});
  });
  if (rc != 0) return rc;
  agent.clientId = static_cast<int>(clientId);
  return 0;
}

int MMMediaConfigDB::insertLibraryController(const std::string& agentName, MMStoredLibrary& library,
                                             MMStoredLibraryController& controller, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertLibraryController";
  if (!beginCall(kTag, agentName, library.name, controller.name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "library name", library.name.c_str(), MM_WIDTH(MMLibrary_t, LibraryName), false) ||
      !checkText(kTag, "library vendor", library.vendor.c_str(), MM_WIDTH(MMLibrary_t, LibraryVendor), true) ||
      !checkText(kTag, "library model", library.model.c_str(), MM_WIDTH(MMLibrary_t, LibraryModel), true) ||
      !checkText(kTag, "library controller name", controller.name.c_str(),
                 MM_WIDTH(MMLibraryController_t, ControllerName), true))
    return -1;
  int clientId = controller.clientId;
  int libraryId = 0;
  int controllerId = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int code = DB_OK;
    if (clientId < 0) {
      code = s.queryOne("SELECT \"id\" FROM \"APP_Client\" WHERE \"name\" = ?", {agentName}, row);
      if (code == DB_NO_ROW) {
        refusal = {MMS2_ERROR_NOT_FOUND, DB_NO_ROW, "No client is named [" + agentName + "].", false};
        return kRefused;
      }
      if (code != DB_OK) return code;
      long long id = 0;
      if (row.empty() || !tkdb::integerOf(row[0], id, false)) return DB_ERR_CONVERT;
      clientId = static_cast<int>(id);
      code = s.queryOne("SELECT 1 FROM \"MMHost\" WHERE \"ClientId\" = ?", {clientId}, row);
      if (code == DB_NO_ROW) code = s.exec("INSERT INTO \"MMHost\" (\"ClientId\", \"Attribute\") VALUES (?, 0)", {clientId});
      if (code != DB_OK) return code;
    } else {
      // A media agent the caller names is one that is stored.
      code = requireStoredObject(s, MMStoredKind::MediaAgent, clientId, refusal);
      if (code != DB_OK) return code;
    }
    // Stored without an alias, the library answers to its name.
    code = tkmmdb::libraryNameTaken(s, library.name, 0);
    if (code == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, tkmmdb::libraryNameTakenText(library.name), false};
      return kRefused;
    }
    if (code != DB_NO_ROW) return code;
    code = s.exec("INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", \"LibraryEnabled\", "
                  "\"DriveCount\", \"BaseAddress\", \"LibraryVendor\", \"LibraryModel\") VALUES (?, '', 1, 0, ?, ?, ?, ?)",
                  {library.name, library.driveCount, library.baseAddress, library.vendor, library.model});
    if (code != DB_OK) return code;
    libraryId = static_cast<int>(s.lastInsertId());
    code = s.exec("INSERT INTO \"MMLibraryController\" (\"ControllerName\", \"ClientId\", \"LibraryId\", \"IsActive\", "
                  "\"IsEnabled\", \"ControllerType\") VALUES (?, ?, ?, 1, 0, ?)",
                  {controller.name, clientId, libraryId, controller.controllerType});
    if (code != DB_OK) return code;
    controllerId = static_cast<int>(s.lastInsertId());
    return DB_OK;
  });
  if (rc != 0) return rc;
  library.libraryId = libraryId;
  controller.id = controllerId;
  controller.libraryId = libraryId;
  controller.clientId = clientId;
  return 0;
}

int MMMediaConfigDB::isEmpty(bool& empty, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::isEmpty";
  if (!beginCall(kTag, mmTranText(tran))) return -1;
  tkdb::Session s(tran);
  tkdb::DbRow row;
  int rc = s.queryOne("SELECT 1 FROM \"MMLibrary\" UNION ALL SELECT 1 FROM \"MMHost\" LIMIT 1", {}, row);
  if (rc == DB_OK || rc == DB_NO_ROW) {
    empty = rc == DB_NO_ROW;
    return 0;
  }
  return failDatabase(kTag, rc, s, "Could not read the configuration");
}

// ---------------------------------------------------------------- pools the console adds

int MMMediaConfigDB::insertMasterPool(int libraryId, const std::string& name, int& id, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertMasterPool";
  if (!beginCall(kTag, libraryId, name, mmTranText(tran))) return -1;
  if (!checkText(kTag, "master pool name", name.c_str(), MM_WIDTH(MMMasterPool_t, MasterPoolName), false)) return -1;
  int made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int code = requireRow(s, "SELECT 1 FROM \"MMLibrary\" WHERE \"LibraryId\" = ?", libraryId, "The library is no longer in the configuration.", refusal);
    if (code != DB_OK) return code;
    code = s.queryOne("SELECT 1 FROM \"MMMasterPool\" WHERE \"LibraryId\" = ? AND \"MasterPoolName\" = ?",
                      {libraryId, name}, row);
    if (code == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, "The library already has a master pool named [" + name + "].", false};
      return kRefused;
    }
    if (code != DB_NO_ROW) return code;
    code = s.exec("INSERT INTO \"MMMasterPool\" (\"LibraryId\", \"MasterPoolName\") VALUES (?, ?)", {libraryId, name});
    if (code != DB_OK) return code;
    made = static_cast<int>(s.lastInsertId());
    return DB_OK;
  });
  if (rc != 0) return rc;
  id = made;
  return 0;
}

int MMMediaConfigDB::insertDrivePool(int masterPoolId, int clientId, const std::string& name, int type, int& id,
                                     DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertDrivePool";
  if (!beginCall(kTag, masterPoolId, clientId, name, type, mmTranText(tran))) return -1;
  if (!checkText(kTag, "drive pool name", name.c_str(), MM_WIDTH(MMDrivePool_t, DrivePoolName), false)) return -1;
  int made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    tkdb::DbRow row;
    int code = requireRow(s, "SELECT 1 FROM \"MMMasterPool\" WHERE \"MasterPoolId\" = ?", masterPoolId, "The master pool is no longer in the configuration.", refusal);
    if (code != DB_OK) return code;
    // The pool's media agent, as every reference a change stores.
    code = requireStoredObject(s, MMStoredKind::MediaAgent, clientId, refusal);
    if (code != DB_OK) return code;
    code = s.exec("INSERT INTO \"MMDrivePool\" (\"DrivePoolName\", \"DrivePoolEnabled\", \"ClientId\", "
                  "\"MasterPoolId\", \"DrivePoolType\") VALUES (?, 0, ?, ?, ?)",
                  {name, clientId, masterPoolId, type});
    if (code != DB_OK) return code;
    made = static_cast<int>(s.lastInsertId());
    return DB_OK;
  });
  if (rc != 0) return rc;
  id = made;
  return 0;
}

int MMMediaConfigDB::insertDiskLibrary(MMStoredLibrary& library, DBtran* tran) {
  static constexpr const char* kTag = "MMMediaConfigDB::insertDiskLibrary";
  if (!beginCall(kTag, library.name, library.aliasName, library.libraryTypeId, mmTranText(tran)))
    return -1;
  if (!checkText(kTag, "library name", library.name.c_str(), MM_WIDTH(MMLibrary_t, LibraryName), false) ||
      !checkText(kTag, "library alias", library.aliasName.c_str(), MMLibrary_t::kAliasNameMax, true))
    return -1;
  int made = 0;
  const int rc = atomically(kTag, tran, [&](tkdb::Session& s, Refusal& refusal) -> int {
    // The name the new library answers to: its alias, else its name.
    const std::string& answersTo = library.aliasName.empty() ? library.name : library.aliasName;
    int code = tkmmdb::libraryNameTaken(s, answersTo, 0);
    if (code == DB_OK) {
      refusal = {MMS2_ERROR_DUPLICATE_NAME, 0, tkmmdb::libraryNameTakenText(answersTo), false};
      return kRefused;
    }
    if (code != DB_NO_ROW) return code;
    code = s.exec("INSERT INTO \"MMLibrary\" (\"LibraryName\", \"AliasName\", \"LibraryTypeId\", \"LibraryEnabled\", "
                      "\"LowWaterMarkMB\", \"LibraryAttribute\") VALUES (?, ?, ?, 1, ?, ?)",
                      {library.name, library.aliasName, library.libraryTypeId, library.lowWaterMarkMB,
                       library.libraryAttribute});
    if (code != DB_OK) return code;
    made = static_cast<int>(s.lastInsertId());
    return DB_OK;
  });
  if (rc != 0) return rc;
  library.libraryId = made;
  return 0;
}

int MMMediaConfigDB::requireStoredObject(tkdb::Session& s, MMStoredKind kind, int id, Refusal& refusal) {
  const int code = storedObjectExists(s, kind, id);
  if (code != DB_NO_ROW) return code;
  refusal = {MMS2_ERROR_REFERENCE, 0, missingReferenceText(storedKind(kind).what, id), false};
  return kRefused;
}
