// tkconsole: sends requests to tkhost and prints the decoded replies, one item
// per line.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "console/CommandLine.h"
#include "console/ControlCommands.h"
#include "console/DriveCommands.h"
#include "console/LibraryCommands.h"
#include "console/LockCommands.h"
#include "console/StorageLibraryCommands.h"
#include "console/TagNames.h"
#include "tests/support/wire/WireCodec.h"

namespace {

const char kUsage[] =
    "usage: tkconsole [--socket PATH] [--wait MS] [--timeout MS] [--user N] [--seq N]\n"
    "                 [--kind N] [--gui N] [--origin N]\n"
    "                 HANDLER [first=N] [count=N] [handle=N] [TAG=VALUE ...]\n"
    "       tkconsole [options] --xml MSGID HANDLER 'xml text'   (or --xml-file FILE)\n"
    "       tkconsole [options] --script FILE   (one request per line, # comments)\n"
    "       tkconsole [options] lock|force-lock|unlock|unlock-anyway [rights=N] [xml [server-seq=N]]\n"
    "                 (the configuration lock; it belongs to the connection that took it)\n"
    "       tkconsole [options] libraries | library HANDLE\n"
    "                 (the libraries, or one library's record; after the lock, in one --script)\n"
    "       tkconsole [options] storage-library TAG=VALUE ... [second.TAG=VALUE ...]\n"
    "                 (the storage-library request; TAG a field tag of the library description)\n"
    "       tkconsole [options] children|drive-paths|drive|mount-paths|... HANDLE [option]\n"
    "                 media-types ID | drive-vendors | library-vendors [1] | serial-check [on|off]\n"
    "                 (the drive side of libraries and the catalogues; see console/DriveCommands.h)\n"
    "       tkconsole [options] control OP [HANDLE]\n"
    "                 (one record of the control request; after the lock, in one --script)\n"
    "VALUE: N (u32; also 0xN or -N), u64:N, \"text\" or s:text, hex:BYTES; other words are texts.\n"
    "       idtext:ID:TEXT (u32 and text), hdr12:ID,CLIENT,FLAGS:TEXT (three u32 and text).\n"
    "first=N sets the first word, count=N the element count (default: the number of\n"
    "elements), handle=N the 64-bit object handle in their place.\n"
    "--socket defaults to var/tkhost.sock; replies are read until the host is quiet for\n"
    "--wait MS (default 200) after the first reply, which may take --timeout MS (default 3000).\n"
    "Exit status: 0 done, 1 the host closed the connection, 2 the host cannot be reached,\n"
    "64 wrong arguments.\n";

constexpr int kExitLost = 1;
constexpr int kExitUnreachable = 2;
constexpr int kExitUsage = 64;

struct Settings {
  std::string socketPath = "var/tkhost.sock";
  int waitMs = 200;
  int timeoutMs = 3000;
  std::string scriptPath;
};

int connectTo(const std::string& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = "socket path too long: " + path;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sends one request and prints its replies. False when the connection is lost.
bool exchange(int fd, const tkconsole::Request& request, const Settings& settings) {
  if (!tkwire::writeAll(fd, request.encode())) {
    std::cout << "(connection lost)" << std::endl;
    return false;
  }
  int replies = 0;
  bool lost = false;
  std::string body;
  for (;;) {
    tkwire::ReadStatus status = tkwire::readFrame(fd, replies == 0 ? settings.timeoutMs : settings.waitMs, body);
    if (status != tkwire::ReadStatus::Ok) {
      lost = status != tkwire::ReadStatus::Timeout;
      break;
    }
    ++replies;
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    if (!reply) {
      std::cout << "(undecodable reply of " << body.size() << " bytes)\n";
      continue;
    }
    if (request.xml && reply->kind == tkwire::kReplyRaw && reply->messageId == request.xmlRequest.messageId)
      std::cout << tkwire::describeXmlAnswer(*reply);
    else
      std::cout << tkwire::describe(*reply, tkconsole::tagName);
  }
  if (replies == 0 && !lost) std::cout << "(no reply)\n";
  if (lost) std::cout << "(connection closed by the host)\n";
  std::cout.flush();
  return !lost;
}

bool numberOption(const std::string& name, const std::string& text, int& out) {
  uint64_t v = 0;
  if (!tkconsole::parseNumber(text, 600000, v)) {
    std::fprintf(stderr, "tkconsole: %s takes milliseconds (at most 600000), not %s\n", name.c_str(), text.c_str());
    return false;
  }
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  tkconsole::Defaults defaults;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    bool global = arg == "--socket" || arg == "--wait" || arg == "--timeout" || arg == "--script";
    bool defaultOption = arg == "--user" || arg == "--seq" || arg == "--kind" || arg == "--gui" || arg == "--origin";
    if (!global && !defaultOption) {
      words.push_back(arg);
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tkconsole: %s needs a value\n", arg.c_str());
      return kExitUsage;
    }
    std::string value = argv[++i];
    if (arg == "--socket") {
      settings.socketPath = value;
    } else if (arg == "--script") {
      settings.scriptPath = value;
    } else if (arg == "--wait") {
      if (!numberOption(arg, value, settings.waitMs)) return kExitUsage;
    } else if (arg == "--timeout") {
      if (!numberOption(arg, value, settings.timeoutMs)) return kExitUsage;
    } else {
      // Request options on the command line are the defaults of every request.
      tkconsole::Request probe;
      std::string error;
      if (!tkconsole::parseRequest({arg, value, "x"}, defaults, 0, probe, error, true)) {
        std::fprintf(stderr, "tkconsole: %s\n", error.c_str());
        return kExitUsage;
      }
      defaults.userId = probe.stream.userId;
      defaults.requestKind = probe.stream.requestKind;
      defaults.autoRefreshGuiId = probe.stream.autoRefreshGuiId;
      defaults.origin = probe.stream.origin;
      if (arg == "--seq") defaults.sequence = probe.stream.sequence;
    }
  }

  // Parse everything before connecting: a wrong line sends nothing.
  std::vector<tkconsole::Request> requests;
  std::vector<std::string> lines;
  int64_t nextSequence = defaults.sequence.value_or(1);
  tkconsole::Defaults lineDefaults = defaults;
  lineDefaults.sequence.reset();
  if (!settings.scriptPath.empty()) {
    if (!words.empty()) {
      std::fprintf(stderr, "tkconsole: --script takes no request on the command line\n");
      return kExitUsage;
    }
    std::ifstream script(settings.scriptPath);
    if (!script) {
      std::fprintf(stderr, "tkconsole: cannot read %s\n", settings.scriptPath.c_str());
      return kExitUsage;
    }
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
      ++number;
      std::vector<std::string> lineWords;
      std::string error;
      if (!tkconsole::splitLine(line, lineWords, error)) {
        std::fprintf(stderr, "tkconsole: %s:%d: %s\n", settings.scriptPath.c_str(), number, error.c_str());
        return kExitUsage;
      }
      if (lineWords.empty()) continue;
      std::string payload;
      if (!tkconsole::expandLockCommand(lineWords, false, error) ||
          !tkconsole::expandLibraryCommand(lineWords, false, error) ||
          !tkconsole::expandStorageLibraryCommand(lineWords, false, error) ||
          !tkconsole::expandDriveCommand(lineWords, false, error, payload) ||
          !tkconsole::expandControlCommand(lineWords, false, error)) {
        std::fprintf(stderr, "tkconsole: %s:%d: %s\n", settings.scriptPath.c_str(), number, error.c_str());
        return kExitUsage;
      }
      tkconsole::Request request;
      if (!tkconsole::parseRequest(lineWords, lineDefaults, nextSequence, request, error, false)) {
        std::fprintf(stderr, "tkconsole: %s:%d: %s\n", settings.scriptPath.c_str(), number, error.c_str());
        return kExitUsage;
      }
      if (!payload.empty()) request.stream.stream = payload;
      ++nextSequence;
      requests.push_back(request);
      size_t first = line.find_first_not_of(" \t");
      size_t last = line.find_last_not_of(" \t\r");
      lines.push_back(line.substr(first, last - first + 1));
    }
  } else {
    if (words.empty()) {
      std::fputs(kUsage, stderr);
      return kExitUsage;
    }
    tkconsole::Request request;
    std::string error;
    std::string payload;
    if (!tkconsole::expandLockCommand(words, true, error) || !tkconsole::expandLibraryCommand(words, true, error) ||
        !tkconsole::expandStorageLibraryCommand(words, true, error) ||
        !tkconsole::expandDriveCommand(words, true, error, payload) ||
        !tkconsole::expandControlCommand(words, true, error)) {
      std::fprintf(stderr, "tkconsole: %s\n", error.c_str());
      return kExitUsage;
    }
    if (!tkconsole::parseRequest(words, lineDefaults, nextSequence, request, error, true)) {
      std::fprintf(stderr, "tkconsole: %s\n", error.c_str());
      return kExitUsage;
    }
    if (!payload.empty()) request.stream.stream = payload;
    requests.push_back(request);
  }

  std::string error;
  int fd = connectTo(settings.socketPath, error);
  if (fd < 0) {
    std::fprintf(stderr, "tkconsole: cannot reach the host at %s: %s\n", settings.socketPath.c_str(), error.c_str());
    return kExitUnreachable;
  }
  // One connection for every request: the host knows a console by its
  // connection (the configuration session belongs to it).
  int status = 0;
  for (size_t i = 0; i < requests.size(); ++i) {
    if (!lines.empty()) std::cout << "> " << lines[i] << "\n";
    if (!exchange(fd, requests[i], settings)) {
      status = kExitLost;
      break;
    }
  }
  ::close(fd);
  return status;
}
