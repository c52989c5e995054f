// The replica database's records of file-level recovery (consistency
// points, snapshots with their mounts and shares, snapshot pairs) and of
// fan-in recovery points and replication sets.
//
// Plain value types with the conventions of platform/replicadb/SNRVolumeRecords.h.
// Unlike the volume records, most of them are built by constructors that
// take every field; a null C text gives an empty text.
#pragma once

#include <cstdint>
#include <string>

// A consistency point of an FLR set (a backup set). Its only constructor
// takes the FLR set id before the creation time, although the record holds
// them the other way round.
struct FLRConsistencyPointRecord_t {
  int32_t cpId;           // 11806
  uint64_t creationTime;  // 11628 (replies carry the low 32 bits)
  uint64_t flrSetId;      // 8500 (replies carry the low 32 bits)
  uint64_t jobId;         // 2180
  bool item11825;
  bool item11820;
  int32_t cpValue1;
  int32_t cpValue2;
  bool item11819;
  int32_t cpValue3;
  int32_t cpValue4;
  int32_t cpValue5;
  int32_t cpValue6;

  FLRConsistencyPointRecord_t(int32_t cpIdValue, uint64_t flrSetIdValue, uint64_t creationTimeValue,
                              uint64_t jobIdValue, bool item11825Value, bool item11820Value, int32_t cpValue1Value,
                              int32_t cpValue2Value, bool item11819Value, int32_t cpValue3Value,
                              int32_t cpValue4Value, int32_t cpValue5Value, int32_t cpValue6Value)
      : cpId(cpIdValue),
        creationTime(creationTimeValue),
        flrSetId(flrSetIdValue),
        jobId(jobIdValue),
        item11825(item11825Value),
        item11820(item11820Value),
        cpValue1(cpValue1Value),
        cpValue2(cpValue2Value),
        item11819(item11819Value),
        cpValue3(cpValue3Value),
        cpValue4(cpValue4Value),
        cpValue5(cpValue5Value),
        cpValue6(cpValue6Value) {}

  // The value the result structs start with.
  static FLRConsistencyPointRecord_t empty() {
    return FLRConsistencyPointRecord_t(-1, 0, 0, 0, false, false, -1, -1, false, -1, 0, 0, 0);
  }
};

namespace tkflr_detail {
inline std::string textOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }
}  // namespace tkflr_detail

struct FLRSnapshotRecord_t {
  static constexpr int32_t kEngineVSS = 2;
  static constexpr int32_t kEngineONTAP = 4;

  int32_t snapId;              // 11810
  int32_t cpId;                // 11806
  std::string snapName;        // 11811
  std::string snapVolumeName;  // 11821
  // The source: the volume that a VSS snapshot mount uses, or the ONTAP
  // storage path whose part before " / " names the filer.
  std::string snapText3;
  int32_t engineType;          // 11833
  std::string sharePath;       // the share path of an ONTAP snapshot
  int32_t snapValue;

  FLRSnapshotRecord_t(int32_t snapIdValue, int32_t cpIdValue, const char* snapNameValue,
                      const char* snapVolumeNameValue, const char* snapText3Value, int32_t engineTypeValue,
                      const std::string& sharePathValue, int32_t snapValueValue)
      : snapId(snapIdValue),
        cpId(cpIdValue),
        snapName(tkflr_detail::textOf(snapNameValue)),
        snapVolumeName(tkflr_detail::textOf(snapVolumeNameValue)),
        snapText3(tkflr_detail::textOf(snapText3Value)),
        engineType(engineTypeValue),
        sharePath(sharePathValue),
        snapValue(snapValueValue) {}
  FLRSnapshotRecord_t() : FLRSnapshotRecord_t(-1, -1, nullptr, nullptr, nullptr, 1, std::string(), 0) {}

  bool IsVSSSnapshot() const { return engineType == kEngineVSS; }
  bool IsONTAPSnapshot() const { return engineType == kEngineONTAP; }
};

struct FLRSnapMountPointRecord_t {
  int32_t mountPointId;
  int32_t snapId;
  std::string mountPath;

  FLRSnapMountPointRecord_t(int32_t mountPointIdValue, int32_t snapIdValue, const char* path)
      : mountPointId(mountPointIdValue), snapId(snapIdValue), mountPath(tkflr_detail::textOf(path)) {}
  FLRSnapMountPointRecord_t() : FLRSnapMountPointRecord_t(-1, -1, nullptr) {}
};

struct FLRSnapNetworkShareRecord_t {
  int32_t shareId;
  int32_t mountPointId;  // the mount point it shares
  std::string shareName;

  FLRSnapNetworkShareRecord_t(int32_t shareIdValue, int32_t mountPointIdValue, const char* name)
      : shareId(shareIdValue), mountPointId(mountPointIdValue), shareName(tkflr_detail::textOf(name)) {}
  FLRSnapNetworkShareRecord_t() : FLRSnapNetworkShareRecord_t(-1, -1, nullptr) {}
};

// One 2013 item of a snapshot.
struct FLRSnapPairRecord_t {
  int32_t pairId = -1;
  int32_t snapId = -1;
  int32_t pairValue = 0;  // 2013
};

struct FLRPairPathRecord_t {
  int32_t pairId = -1;
  int32_t snapId = -1;
  std::string sourcePath;
  std::string pairPath;
};

// A volume of a replication set, as the search by volume returns it.
struct RepSetVolume_t {
  std::string path;
  std::string secondText;  // 4008
  std::string clientName;
  int32_t value = 0;       // 4007
  int32_t clientId = -1;
};

// A fan-in recovery point; its id is also the id of its consistency point.
struct RPInfo1Record_t {
  int32_t rpId = -1;
  int32_t rpValue1 = 0;
  std::string rpText;
  std::string mountPath;  // empty when nothing is mounted for it
  int32_t rpValue2 = 0;
};

struct FanInDetail_t {
  std::string text1;
  std::string text2;
  int32_t value1 = 0;
  int32_t value2 = 0;
  std::string text3;
  std::string text4;
  int32_t destClientId = -1;
  std::string text5;
  std::string text6;
  std::string text7;
  std::string text8;
};
