// tkconsole: sends requests to tkhost and prints the decoded replies, one item
// per line.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "console/Answers.h"
#include "console/CommandLine.h"
#include "console/ControlCommands.h"
#include "console/DetectionCommands.h"
#include "console/DevicePathCommands.h"
#include "console/DriveCommands.h"
#include "console/NasCommands.h"
#include "console/LibraryChangeCommands.h"
#include "console/LibraryCommands.h"
#include "console/LockCommands.h"
#include "console/SANVolumeCommands.h"
#include "console/StorageLibraryCommands.h"
#include "console/TagNames.h"
#include "wire/WireCodec.h"

namespace {

const char kUsage[] =
    "usage: tkconsole [--socket PATH] [--wait MS] [--timeout MS] [--user N] [--seq N]\n"
    "                 [--kind N] [--gui N] [--origin N]\n"
    "                 HANDLER [first=N] [count=N] [handle=N] [TAG=VALUE ...]\n"
    "       tkconsole [options] --xml MSGID HANDLER 'xml text'   (or --xml-file FILE)\n"
    "       tkconsole [options] --script FILE   (one request per line, # comments; - reads\n"
    "                 standard input)\n"
    "       tkconsole [options] --list   (the host's handlers: name, kind, XML message id)\n"
    "       tkconsole [options] lock|force-lock|unlock|unlock-anyway [rights=N] [xml [server-seq=N]]\n"
    "                 (the configuration lock; it belongs to the connection that took it)\n"
    "       tkconsole [options] libraries | library HANDLE\n"
    "                 (the libraries, or one library's record; after the lock, in one --script)\n"
    "       tkconsole [options] storage-library TAG=VALUE ... [second.TAG=VALUE ...]\n"
    "                 (the storage-library request; TAG a field tag of the library description)\n"
    "       tkconsole [options] can-delete MOUNT-PATH-ID LIBRARY-ID\n"
    "                 (whether deleting the mount path, 0 the library, needs the forced deletion)\n"
    "       tkconsole [options] device-paths MOUNT-PATH-ID path [agent=ID] TAG=VALUE ... [path ...]\n"
    "                 (the device paths of a mount path; TAG a field tag of a device path)\n"
    "       tkconsole [options] children|drive-paths|drive|mount-paths|... HANDLE [option]\n"
    "                 media-types ID | drive-vendors | library-vendors [1] | serial-check [on|off]\n"
    "                 (the drive side of libraries and the catalogues; see console/DriveCommands.h)\n"
    "       tkconsole [options] control OP [HANDLE]\n"
    "                 (one record of the control request; after the lock, in one --script)\n"
    "       tkconsole [options] san-hosts | san-volumes HOST-ID |\n"
    "                 san-discover HOST-ID HOST-NAME [mount-paths]\n"
    "                 (SAN volume hosts, their recorded volumes, and what volumes a host has)\n"
    "       tkconsole [options] ndmp-servers [FILTER] | ndmp-server CLIENT-ID [NAME] | media-agents |\n"
    "                 nas-clients | nas-remove|nas-restore ID NAME AGENT\n"
    "                 (NDMP servers, media agents and NAS clients; see console/NasCommands.h)\n"
    "       tkconsole [options] change-library OP HANDLE [TAG=VALUE ...] | drag HANDLE [ON [MODE]]\n"
    "                 probe-ndmp SERVER PATH [AGENT] | library-server HOST\n"
    "                 add-ndmp-controller|add-ip-controller AGENT ...\n"
    "                 (library changes, controllers, drag and drop; see console/LibraryChangeCommands.h)\n"
    "       tkconsole --help | --version\n"
    "VALUE: N (u32; also 0xN or -N), u64:N, \"text\" or s:text, hex:BYTES; other words are texts.\n"
    "       idtext:ID:TEXT (u32 and text), hdr12:ID,CLIENT,FLAGS:TEXT (three u32 and text).\n"
    "       enc:TEXT (the text encrypted as logins and passwords travel, e.g. 11062=enc:root).\n"
    "body=VALUE (repeatable) sends raw bytes from the first-parameter place on.\n"
    "first=N sets the first word, count=N the element count (default: the number of\n"
    "elements), handle=N the 64-bit object handle in their place.\n"
    "--socket defaults to var/tkhost.sock. The host ends each request with an end frame;\n"
    "the first answer may take --timeout MS (default 3000), each later one --wait MS\n"
    "(default 10000), after which the console gives up.\n"
    "Exit status: 0 every answer a success, 3 an answer reports a failure or refusal (a\n"
    "status other than 1, an XML result other than 0, a result below 0, or the host's own\n"
    "refusal), 1 the host closed the connection or did not finish a request in time, 2 the\n"
    "host cannot be reached, 64 wrong arguments.\n";

constexpr int kExitFailure = 3;
constexpr int kExitLost = 1;
constexpr int kExitUnreachable = 2;
constexpr int kExitUsage = 64;

struct Settings {
  std::string socketPath = "var/tkhost.sock";
  int waitMs = 10000;
  int timeoutMs = 3000;
  std::string scriptPath;
  bool list = false;
};

// How one request went.
enum class Outcome { Success, Failure, Lost };

// The handler of the request whose answers are being printed (the status
// meanings depend on it).
std::string g_shownHandler;

std::string showItem(const tkwire::Item& item) {
  if (item.tag == tkconsole::kStatusItem) return tkconsole::describeStatus(g_shownHandler, item);
  return tkconsole::describeNasItem(g_shownHandler, item);
}

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

// Sends one request and prints its answers, up to the host's end frame.
// `onReply` sees each answer first and may print it itself (true).
template <class OnReply>
Outcome exchange(int fd, const tkconsole::Request& request, const Settings& settings, OnReply&& onReply) {
  // A host that closed the connection may have said why first (too many
  // connections): what it sent is shown even when the request cannot go out.
  const bool sent = tkwire::writeAll(fd, request.encode());
  int replies = 0;
  bool failed = false;
  std::string body;
  g_shownHandler = request.handler();
  for (;;) {
    const int waitMs = !sent ? 0 : replies == 0 ? settings.timeoutMs : settings.waitMs;
    tkwire::ReadStatus status = tkwire::readFrame(fd, waitMs, body);
    if (status == tkwire::ReadStatus::Timeout && sent) {
      std::cout << "(the host did not finish the request within " << waitMs << " ms)" << std::endl;
      return Outcome::Lost;
    }
    if (status != tkwire::ReadStatus::Ok) {
      std::cout << "(connection closed by the host)" << std::endl;
      return Outcome::Lost;
    }
    std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
    if (!reply) {
      ++replies;
      failed = true;
      std::cout << "(undecodable reply of " << body.size() << " bytes)\n";
      continue;
    }
    if (reply->isEnd()) {
      failed = failed || tkconsole::reportsFailure(*reply, false);
      break;
    }
    ++replies;
    const bool xmlAnswer =
        request.xml && reply->kind == tkwire::kReplyRaw && reply->messageId == request.xmlRequest.messageId;
    failed = failed || tkconsole::reportsFailure(*reply, xmlAnswer);
    if (onReply(*reply)) continue;
    if (xmlAnswer)
      std::cout << tkwire::describeXmlAnswer(*reply);
    else
      std::cout << tkwire::describe(*reply, tkconsole::tagName, showItem);
    if (const char* hint = tkconsole::lockRefusalHint(request, *reply)) std::cout << "  (" << hint << ")\n";
    if (const char* hint = tkconsole::storageLibraryDeleteHint(request, *reply)) std::cout << "  (" << hint << ")\n";
  }
  if (replies == 0) std::cout << "(no reply)\n";
  std::cout.flush();
  return failed ? Outcome::Failure : Outcome::Success;
}

Outcome exchange(int fd, const tkconsole::Request& request, const Settings& settings) {
  return exchange(fd, request, settings, [](const tkwire::Reply&) { return false; });
}

// The host's handlers, one line each: name, kind, and the XML message id.
bool printHandlerList(const tkwire::Reply& reply) {
  std::optional<std::vector<tkwire::HandlerInfo>> handlers = tkwire::decodeHandlerList(reply);
  if (!handlers) return false;
  size_t width = 0;
  for (const tkwire::HandlerInfo& h : *handlers) width = std::max(width, h.name.size());
  for (const tkwire::HandlerInfo& h : *handlers) {
    std::string line = h.name + std::string(width + 2 - h.name.size(), ' ');
    if (h.kind == tkwire::kRequestXml) {
      char id[16];
      std::snprintf(id, sizeof id, "0x%08X", h.messageId);
      line += h.messageId != 0 ? std::string("xml ") + id : std::string("xml any message id");
    } else {
      line += "stream";
    }
    std::cout << line << "\n";
  }
  return true;
}

// Reads a script, from standard input for "-"; false with the reason.
bool readScript(const std::string& path, std::string& text, std::string& error) {
  if (path == "-") {
    std::ostringstream os;
    os << std::cin.rdbuf();
    text = os.str();
    return true;
  }
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = path + " is a directory, not a script";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream os;
  if (!in || !(os << in.rdbuf())) {
    if (st.st_size == 0 && in) return true;  // an empty script
    error = "cannot read " + path;
    return false;
  }
  text = os.str();
  return true;
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
    if (arg == "--version") {
      std::printf("tkconsole %s\n", TK_VERSION);
      return 0;
    }
    if (arg == "--list") {
      settings.list = true;
      continue;
    }
    bool global = arg == "--socket" || arg == "--wait" || arg == "--timeout" || arg == "--script";
    bool defaultOption = arg == "--user" || arg == "--seq" || arg == "--kind" || arg == "--gui" || arg == "--origin";
    // Options of the request itself (--xml MSGID, --xml-file FILE) travel with its words.
    bool requestOption = arg == "--xml" || arg == "--xml-file";
    if (!global && !defaultOption && !requestOption && arg.size() > 1 && arg[0] == '-' &&
        !(words.size() > 0 && (words.back() == "--xml" || words.back() == "--xml-file"))) {
      std::fprintf(stderr, "tkconsole: unknown option %s\n", arg.c_str());
      return kExitUsage;
    }
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
  if (settings.list && (!settings.scriptPath.empty() || !words.empty())) {
    std::fprintf(stderr, "tkconsole: --list takes neither --script nor a request\n");
    return kExitUsage;
  }
  if (settings.list) {
    tkconsole::Request request;
    request.stream.handler = tkwire::kListHandlersName;
    request.stream.sequence = nextSequence;
    requests.push_back(request);
  } else if (!settings.scriptPath.empty()) {
    if (!words.empty()) {
      std::fprintf(stderr, "tkconsole: --script takes no request on the command line\n");
      return kExitUsage;
    }
    std::string text;
    std::string readError;
    if (!readScript(settings.scriptPath, text, readError)) {
      std::fprintf(stderr, "tkconsole: %s\n", readError.c_str());
      return kExitUsage;
    }
    std::istringstream script(text);
    const std::string scriptName = settings.scriptPath == "-" ? "standard input" : settings.scriptPath;
    std::string line;
    int number = 0;
    while (std::getline(script, line)) {
      ++number;
      std::vector<std::string> lineWords;
      std::string error;
      if (!tkconsole::splitLine(line, lineWords, error)) {
        std::fprintf(stderr, "tkconsole: %s:%d: %s\n", scriptName.c_str(), number, error.c_str());
        return kExitUsage;
      }
      if (lineWords.empty()) continue;
      std::string payload;
      if (!tkconsole::expandLockCommand(lineWords, false, error) ||
          !tkconsole::expandLibraryCommand(lineWords, false, error) ||
          !tkconsole::expandStorageLibraryCommand(lineWords, false, error) ||
          !tkconsole::expandCanDeleteCommand(lineWords, false, error) ||
          !tkconsole::expandDevicePathCommand(lineWords, false, error) ||
          !tkconsole::expandDriveCommand(lineWords, false, error, payload) ||
          !tkconsole::expandControlCommand(lineWords, false, error) ||
          !tkconsole::expandDetectionCommand(lineWords, false, error) ||
          !tkconsole::expandSANVolumeCommand(lineWords, false, error) ||
          !tkconsole::expandNasCommand(lineWords, false, error) ||
          !tkconsole::expandLibraryChangeCommand(lineWords, false, error, payload)) {
        std::fprintf(stderr, "tkconsole: %s:%d: %s\n", scriptName.c_str(), number, error.c_str());
        return kExitUsage;
      }
      tkconsole::Request request;
      if (!tkconsole::parseRequest(lineWords, lineDefaults, nextSequence, request, error, false)) {
        std::fprintf(stderr, "tkconsole: %s:%d: %s\n", scriptName.c_str(), number, error.c_str());
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
        !tkconsole::expandCanDeleteCommand(words, true, error) ||
        !tkconsole::expandDevicePathCommand(words, true, error) ||
        !tkconsole::expandDriveCommand(words, true, error, payload) ||
        !tkconsole::expandControlCommand(words, true, error) ||
        !tkconsole::expandDetectionCommand(words, true, error) ||
        !tkconsole::expandSANVolumeCommand(words, true, error) ||
        !tkconsole::expandNasCommand(words, true, error) ||
        !tkconsole::expandLibraryChangeCommand(words, true, error, payload)) {
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
    Outcome outcome = settings.list ? exchange(fd, requests[i], settings, printHandlerList)
                                    : exchange(fd, requests[i], settings);
    if (outcome == Outcome::Lost) {
      status = kExitLost;
      break;
    }
    if (outcome == Outcome::Failure) status = kExitFailure;
  }
  ::close(fd);
  return status;
}
