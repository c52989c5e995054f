// Test control of the network library servers
// (platform/ndmpdetect/ZQNDMPAutoDetect.h).
//
//   testkit::ndmpdetect::reset();
//   testkit::ndmpdetect::scriptNdmpLibrary("filer1", "mc0", {.vendor = "V", ...});
//   testkit::ndmpdetect::scriptLibraryServer("ls1", {{.name = "L1", ...}, ...});
//   ... code under test ...
//   testkit::ndmpdetect::journal().count("ProbeNdmp")
//
// A server that is not scripted does not answer; injectFailure("ProbeNdmp"
// or "ProbeLibraryServer", code, text) makes the next probe go unanswered
// with that text.
#pragma once

#include <string>
#include <vector>

#include "platform/ndmpdetect/ZQNDMPAutoDetect.h"

namespace testkit::ndmpdetect {

using Library = tkndmpdetect::Library;

inline tkjournal::Journal& journal() { return tkndmpdetect::journal(); }
inline void reset() { tkndmpdetect::reset(); }
inline void scriptNdmpLibrary(const std::string& host, const std::string& accessPath, const Library& library) {
  tkndmpdetect::scriptNdmpLibrary(host, accessPath, library);
}
// NDMP drives: what a server answers for the drive at an access path.
using Drive = tkndmpdetect::Drive;
inline void scriptNdmpDrive(const std::string& host, const std::string& accessPath, const Drive& drive) {
  tkndmpdetect::scriptNdmpDrive(host, accessPath, drive);
}
inline void scriptLibraryServer(const std::string& host, const std::vector<Library>& libraries) {
  tkndmpdetect::scriptLibraryServer(host, libraries);
}

}  // namespace testkit::ndmpdetect
