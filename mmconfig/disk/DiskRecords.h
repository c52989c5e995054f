// The property records of disk devices (reply 11198) and disk volumes
// (reply 11199), shared by their listings and property requests:
//
//   device  11192 [id][display name], 11420 [DRU id][DRU host name, or the
//           none text when the id names no host], 11031, 11205 identification,
//           11206 its type as text, 11606 display type, 11201-11204 and 11207
//           geometry, 11150, 11162, 11116, record end
//   volume  11200 [id][display name], 11031, 11201, 9640 the stored device
//           row's attribute (0 when it cannot be read), 11208 path, 2048
//           [agent id][agent name], one 11209 per mount point (sorted),
//           11150, 11418, 11162, 11116, 9819 [credential id][name], record end
//
// The password of a volume is never sent.
#pragma once

#include "frame/ElementTags.h"

class ZQMACDiskDevice;
class ZQMACDiskVolume;
class ZQMACMediaConfig;

namespace tkmm {

class RecordWriter;

// Item of a disk device's id and text in the records and the device list.
inline constexpr unsigned long kItemDiskDevice = tktag::kDiskDevice;

void diskDeviceRecord(RecordWriter& out, ZQMACMediaConfig& config, ZQMACDiskDevice& device);
// `tag` names the handler in the log line of an unreadable device row.
void diskVolumeRecord(RecordWriter& out, ZQMACMediaConfig& config, ZQMACDiskVolume& volume, const char* tag);

}  // namespace tkmm
