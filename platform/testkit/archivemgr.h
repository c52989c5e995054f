// Test control of the archive manager:
//   testkit::archivemgr::ShareResult r;            // ok, texts, added agents
//   r.added[7] = {{2, "SP_Gold/Primary"}};
//   testkit::archivemgr::scriptShare(r);           // answer of the next call
//   testkit::archivemgr::failNextShare(0x1234, "no storage pool");
//   testkit::archivemgr::shareCalls()              // arguments of each call
//   testkit::archivemgr::failNextCopy(code, text); // the next createArchGroupCopy fails
//   journal().calls("createArchGroupCopy")         // the copy records, "offset=value" each
#pragma once

#include "platform/archivemgr/ArchiveManagerTK.h"

namespace testkit::archivemgr {

using ShareResult = tkarchivemgr::ShareResult;
using ShareCall = tkarchivemgr::ShareCall;

inline void scriptShare(const ShareResult& result) { tkarchivemgr::scriptShare(result); }
inline void failNextShare(int code, const std::string& text) {
  tkarchivemgr::journal().injectFailure("ShareMediaAgentsInStoragePool", code, text);
}
// The next copy creation fails with the code and text (nothing written).
inline void failNextCopy(int code, const std::string& text) {
  tkarchivemgr::journal().injectFailure("createArchGroupCopy", code, text);
}
// The next lookup of a policy's block-level replication copy fails with the code.
inline void failNextCopyLookup(int code) {
  tkarchivemgr::journal().injectFailure("getBlockLevelReplicationCopyForPolicy", code, "");
}
inline std::vector<ShareCall> shareCalls() { return tkarchivemgr::shareCalls(); }
inline tkjournal::Journal& journal() { return tkarchivemgr::journal(); }
inline void reset() { tkarchivemgr::reset(); }

}  // namespace testkit::archivemgr
