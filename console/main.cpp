// tkconsole: sends requests to tkhost and prints the decoded replies, one item
// per line (numbers that stand for something with their names beside them),
// and an XML answer's text with its fields listed below it, each under the
// name its message class gives it.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/AnswerNotes.h"
#include "console/AnswerReader.h"
#include "console/Answers.h"
#include "console/CommandLine.h"
#include "console/ControlCommands.h"
#include "console/DetectionCommands.h"
#include "console/DevicePathCommands.h"
#include "console/DriveCommands.h"
#include "console/NasCommands.h"
#include "console/Passwords.h"
#include "console/LibraryChangeCommands.h"
#include "console/LibraryCommands.h"
#include "console/LockAdvice.h"
#include "console/LockCommands.h"
#include "console/SANVolumeCommands.h"
#include "console/StorageLibraryCommands.h"
#include "console/TagNames.h"
#include "console/ValueNames.h"
#include "console/WordSuggestions.h"
#include "frame/ElementLimits.h"
#include "wire/WireCodec.h"

namespace {

const char kUsage[] =
    "usage: tkconsole [OPTIONS] WORD [ARGUMENTS]      one request\n"
    "       tkconsole [OPTIONS] --script FILE         one request per line, # comments, all over\n"
    "                                                 one connection; - reads standard input and\n"
    "                                                 answers each line as soon as it is read\n"
    "       tkconsole [OPTIONS] --list                the host's handlers: name, kind, XML message id\n"
    "       tkconsole --help | --version\n"
    "Options: --socket PATH (default var/tkhost.sock), --timeout MS (the wait for a host that\n"
    "is still starting and for a request's first answer; default 3000), --wait MS (the wait\n"
    "for each later answer; default 10000), --user N (default 1), --seq N, --kind N, --gui N,\n"
    "--origin N (the request's fields).\n"
    "\n"
    "The configuration lock, and the words that need it: each asks in the configuration session\n"
    "of the connection that holds the lock, and handles last one connection, so lock, then ask\n"
    "and use the handles in one --script (or one --script - session). Without the lock they do\n"
    "nothing: the console says so, who holds the lock if anyone does, and exits with status 3.\n"
    "The lock outlives the console that took it: `tkconsole lock` alone leaves it held, and\n"
    "only `unlock xml` (from any console) or a force-lock ends it then.\n"
    "  lock [rights=N] [xml [server-seq=N]]      take the lock             e.g. lock\n"
    "  force-lock [rights=N] [xml]               take it over              e.g. force-lock\n"
    "  unlock | unlock-anyway [rights=N] [xml]   release it (anyway: without the library check;\n"
    "                                            xml: from any connection) e.g. unlock xml\n"
    "  libraries                                 the libraries             e.g. libraries\n"
    "  library HANDLE                            one library's record      e.g. library 12\n"
    "  children LIB [drives] | empty-bays LIB    below a library           e.g. children 12\n"
    "  master-pools LIB | master-pool H          master drive pools        e.g. master-pools 12\n"
    "  drive-pools LIB | drive-pools MASTER master | drive-pool H          e.g. drive-pools 12\n"
    "  drive-paths POOL|DRIVE [short] | drive-path H | drive H | drive-ids CONTROLLER\n"
    "                                                                      e.g. drive 27\n"
    "  mount-paths DISKLIB | mount-path H        a disk library's paths    e.g. mount-paths 30\n"
    "  control OP [HANDLE]                       the control request       e.g. control 48 23\n"
    "  detect AGENT... | detect-keep AGENT...    detect hardware           e.g. detect-keep ma2\n"
    "  detected-libraries | detected-drives      what detection found      e.g. detected-drives\n"
    "  change-library OP HANDLE [TAG=VALUE ...]  change a library  e.g. change-library 3 12 8251=\"new alias\"\n"
    "  drag HANDLE [ON-HANDLE [MODE]]            drag and drop             e.g. drag 40 0 1\n"
    "  probe-ndmp SERVER PATH [AGENT]            an NDMP server's library  e.g. probe-ndmp filer2 /dev/robot1\n"
    "  library-server HOST                       a library server's libraries  e.g. library-server lsrv1\n"
    "  add-ndmp-controller AGENT SERVER PATH VENDOR PRODUCT ID BASE DRIVES  an NDMP library's\n"
    "       controller on a media agent  e.g. add-ndmp-controller ma1 filer2 /dev/robot1 DEMO TAPE-9 NLIB1 1 4\n"
    "  add-ip-controller AGENT HOST VENDOR PRODUCT ID BASE DRIVES [TAG=VALUE ...]  a library\n"
    "       server's library on a media agent  e.g. add-ip-controller ma2 ls1 DEMO TAPE-9 LSLIB1 1 4 11103=2\n"
    "  media-types LIBRARY-ID | drive-vendors | library-vendors [1]        e.g. media-types 1\n"
    "  serial-check [on|off]                     the serial-number check   e.g. serial-check on\n"
    "Requests that need no lock (each is served on a connection of its own):\n"
    "  storage-library 43=OP TAG=VALUE ... [second.TAG=VALUE ...] [request.TAG=VALUE ...]\n"
    "       OP 1 create library, 2 delete library (with request.6=1), 4 add mount path,\n"
    "       8 mount-path properties, 16 delete mount path, 32 modify library, 64 share,\n"
    "       128 unshare, 256 create device, 512 drive maintenance, 1024 force delete mount\n"
    "       path, 4096 vault lock, 8192 force delete library, 16384 add shared mount path;\n"
    "       TAG 1 library id, 3 media agent, 7 media-agent id, 8 library, 23 mount-path id,\n"
    "       24 mount path, 78 drive, 82 drive option ({drive options}), ...\n"
    "                                            e.g. storage-library 43=2 8=TapeLib1 request.6=1\n"
    "  can-delete MOUNT-PATH-ID LIBRARY-ID       whether a deletion needs force  e.g. can-delete 2 2\n"
    "  device-paths MOUNT-PATH-ID path [agent=ID] TAG=VALUE ... [path ...]\n"
    "       TAG 17 operation (1 add, 2 change, 3 remove), 1 device, 2 controller, 4 folder,\n"
    "       8 user, 12 password, 13 access  e.g. device-paths 1 path agent=2 17=1 1=1 4=/srv/d 13=4\n"
    "  ndmp-servers [FILTER]                     the NDMP servers          e.g. ndmp-servers\n"
    "  ndmp-server CLIENT-ID [NAME]              one NDMP server           e.g. ndmp-server 0 filer1\n"
    "  media-agents                              the NAS media agents      e.g. media-agents\n"
    "  nas-clients                               the NAS clients           e.g. nas-clients\n"
    "  nas-remove ID NAME AGENT                  remove a NAS client       e.g. nas-remove 102 filer1 nasma1\n"
    "  nas-restore ID NAME AGENT                 restore a removed one     e.g. nas-restore 102 filer1 nasma1\n"
    "  san-hosts                                 SAN volume hosts          e.g. san-hosts\n"
    "  san-volumes HOST-ID                       a host's SAN volumes      e.g. san-volumes 101\n"
    "  san-discover HOST-ID HOST-NAME [mount-paths]                        e.g. san-discover 101 sanhost1\n"
    "Any handler by name (tkconsole --list names them), and XML requests:\n"
    "  HANDLER [first=N] [count=N] [handle=N] [body=VALUE ...] [TAG=VALUE ...]\n"
    "       e.g. onMsgSetMMNDMPServer 4106=2 4001=1 11058=filer2 11062=enc:root 11063=enc:demo 2052=0\n"
    "  --xml MSGID HANDLER 'XML TEXT' | --xml MSGID HANDLER --xml-file FILE\n"
    "       e.g. --xml 0x0DF9BE39 HandleMMConfigMgrXmlMsg --xml-file examples/lock-request.xml\n"
    "VALUE: N (u32; also 0xN or -N), u64:N, \"text\" or s:text, hex:BYTES, enc:TEXT (encrypted\n"
    "as logins and passwords travel), idtext:ID:TEXT, hdr12:ID,CLIENT,FLAGS:TEXT; other words\n"
    "are texts. first=N sets the first word, count=N the element count (default: the number\n"
    "of elements), handle=N the 64-bit object handle in their place; body=VALUE sends raw\n"
    "bytes from the first-parameter place on.\n"
    "Exit status: 0 every answer a success; 3 an answer reports a failure or refusal, ends cut\n"
    "short, did nothing the request asked for or got no answer at all (the console says why\n"
    "under it: a word that needs the lock asked without it, a take-over notice or a \"Close\"\n"
    "answer, an empty record for a handle, an unlock that released nothing, no reply at all,\n"
    "a library delete without request.6=1, an XML request that no handler answered, handed\n"
    "back as it was sent); 1 the host closed the connection or did not finish\n"
    "a request in time; 2 no host reached; 64 wrong\n"
    "arguments or an unknown word (nothing is sent; the closest words and handlers are named),\n"
    "or an element longer than the host reads of one ({element limit} bytes; nothing is sent).\n";

// The usage with the drive options named from the table the answers are
// named from, so that the two never tell them apart differently, and the
// element limit the host's walker has.
std::string usageText() {
  std::string usage = kUsage;
  const std::string placeholder = "{drive options}";
  usage.replace(usage.find(placeholder), placeholder.size(), tkconsole::driveOptionNames());
  const std::string limit = "{element limit}";
  usage.replace(usage.find(limit), limit.size(), std::to_string(kMessageValueCapacity));
  return usage;
}

constexpr int kExitFailure = 3;
constexpr int kExitLost = 1;
constexpr int kExitUnreachable = 2;
constexpr int kExitUsage = 64;
// How often a console that waits for a starting host tries again.
constexpr int kConnectRetryMs = 20;

constexpr const char* kDefaultSocket = "var/tkhost.sock";

struct Settings {
  std::string socketPath = kDefaultSocket;
  int waitMs = 10000;
  int timeoutMs = 3000;
  std::string scriptPath;
  bool list = false;
};

// How one request went.
enum class Outcome { Success, Failure, Lost };

// The handler of the request whose answers are being printed, and the
// operation the answer being printed names (the status meanings depend on
// both).
std::string g_shownHandler;
std::optional<uint32_t> g_shownOperation;

std::string showItem(const tkwire::Item& item) {
  if (item.tag == tkconsole::kStatusItem) return tkconsole::describeStatus(g_shownHandler, g_shownOperation, item);
  std::string words = tkconsole::describeNasItem(g_shownHandler, item);
  if (words.empty()) words = tkconsole::describeNamedValue(item);
  return words.empty() ? tkconsole::describeSANVolumeItem(item) : words;
}

// Connects to the host, waiting up to `timeoutMs` for one that is still
// starting (its socket not made yet, or not listening yet).
int connectWithin(const std::string& path, int timeoutMs, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) {
    error = "socket path too long: " + path;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      error = std::strerror(errno);
      return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    const int err = errno;
    ::close(fd);
    error = std::strerror(err);
    const bool starting = err == ENOENT || err == ECONNREFUSED || err == EAGAIN;
    if (!starting || std::chrono::steady_clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(kConnectRetryMs));
  }
}

// What a request's answers are judged by beyond themselves: whether this
// connection holds the configuration lock, how to ask who holds it, and the
// command named in advice (see LockAdvice.h). The exchange leaves in
// `holdsLock` what the answers say about it.
struct LockContext {
  bool holdsLock = false;
  // Set once a lock on this connection failed (not refused as held): the
  // failed answer's text. A lock taken later clears it.
  std::optional<std::string> failedLock;
  std::function<tkconsole::LockState(const tkconsole::Request&)> ask;
  std::string console;
};

// Sends one request and prints its answers, up to the host's end frame.
// `onReply` sees each answer first and may print it itself (true).
template <class OnReply>
Outcome exchange(int fd, tkconsole::AnswerReader& answers, const tkconsole::Request& request, const std::string& typed,
                 const Settings& settings, LockContext& lock, OnReply&& onReply) {
  // A host that closed the connection may have said why first (too many
  // connections): what it sent is shown even when the request cannot go out.
  const bool sent = tkwire::writeAll(fd, request.encode());
  int replies = 0;
  bool failed = false;
  std::string body;
  tkconsole::SilentAnswerCheck silent(request, typed);
  g_shownHandler = request.handler();
  const std::optional<uint32_t> lockOperation = tkconsole::lockOperationOf(request);
  const bool takesLock = lockOperation == tkconsole::kLockLock || lockOperation == tkconsole::kLockForce;
  bool lockHeld = false;
  std::string lockReason;
  // The answers are read as they come, whatever the pace at which what is
  // printed is read (see AnswerReader.h).
  answers.expect(sent ? settings.timeoutMs : 0, sent ? settings.waitMs : 0);
  for (;;) {
    const int waitMs = !sent ? 0 : replies == 0 ? settings.timeoutMs : settings.waitMs;
    tkconsole::AnswerReader::Frame frame = answers.next();
    const tkwire::ReadStatus status = frame.status;
    body = std::move(frame.body);
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
    silent.see(*reply);
    if (reply->isEnd()) {
      failed = failed || tkconsole::reportsFailure(*reply, false, request.handler());
      break;
    }
    ++replies;
    const bool xmlAnswer =
        request.xml && reply->kind == tkwire::kReplyRaw && reply->messageId == request.xmlRequest.messageId;
    failed = failed || tkconsole::reportsFailure(*reply, xmlAnswer, request.handler());
    const bool cutShort = !xmlAnswer && tkconsole::endsCutShort(*reply, body.size());
    if (takesLock && lockReason.empty()) lockReason = tkconsole::failureText(*reply, xmlAnswer, request.handler());
    g_shownOperation = tkconsole::operationOf(*reply);
    if (onReply(*reply)) continue;
    if (xmlAnswer)
      std::cout << tkconsole::describeXmlAnswer(*reply);
    else
      std::cout << tkwire::describe(*reply, tkconsole::tagName, showItem);
    if (cutShort) {
      std::cout << "  (error: this answer of " << body.size()
                << " bytes ends cut short: its last record is not whole and no status says why; what it shows is "
                   "not the whole answer)\n";
      failed = true;
    }
    if (const std::optional<std::string> holder = tkconsole::lockHeldIn(request, *reply)) {
      lockHeld = true;
      tkconsole::LockState state;
      state.holder = lock.holdsLock ? tkconsole::LockState::Holder::ThisConnection
                                    : tkconsole::LockState::Holder::Elsewhere;
      state.login = *holder;
      std::cout << "  (" << tkconsole::adviceLockHeld(state, lock.console) << ")\n";
    }
    // The request handed back: no handler took its message id.
    if (xmlAnswer && tkconsole::isHandedBack(*reply, request.xmlRequest.xml)) {
      std::cout << "  (" << tkconsole::handedBackNote(request.xmlRequest.messageId) << ")\n";
      failed = true;
    }
    // A delete that deleted nothing did not do what was asked.
    if (const char* hint = tkconsole::storageLibraryDeleteHint(request, *reply)) {
      std::cout << "  (" << hint << ")\n";
      failed = true;
    }
  }
  // A request the host answered nothing to was not carried out as far as
  // anyone can tell: a failure, never a success.
  if (replies == 0) {
    std::cout << "(no reply: the host answered nothing to this request; it may not have been carried out)\n";
    failed = true;
  }
  if (const std::optional<bool> holds = silent.holdsLockAfter()) lock.holdsLock = *holds;
  if (takesLock && failed && !lockHeld) {
    lock.failedLock = lockReason;
    std::cout << "  (" << tkconsole::adviceLockFailed() << ")\n";
  } else if (takesLock && !failed) {
    lock.failedLock.reset();
  }
  const std::string note = lock.failedLock && !takesLock && silent.foundNoSession()
                               ? tkconsole::adviceAfterFailedLock(*lock.failedLock, typed)
                               : silent.note([&] { return lock.ask(request); }, lock.console);
  if (!note.empty()) {
    std::cout << "  (" << note << ")\n";
    failed = true;
  }
  std::cout.flush();
  return failed ? Outcome::Failure : Outcome::Success;
}

Outcome exchange(int fd, tkconsole::AnswerReader& answers, const tkconsole::Request& request, const std::string& typed,
                 const Settings& settings, LockContext& lock) {
  return exchange(fd, answers, request, typed, settings, lock, [](const tkwire::Reply&) { return false; });
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
      line += h.messageId != 0 ? "xml " + tkwire::messageIdText(h.messageId) : std::string("xml any message id");
    } else {
      line += "stream";
    }
    std::cout << line << "\n";
  }
  return true;
}

// Reads a script file whole; false with the reason.
bool readScript(const std::string& path, std::string& text, std::string& error) {
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

// One request from its words: the console words expanded into the request
// they stand for, then parsed. False with the reason.
bool prepareRequest(std::vector<std::string> words, bool fromShell, const tkconsole::Defaults& defaults,
                    int64_t sequence, tkconsole::Request& request, std::string& error) {
  // The bytes behind the element count, from the one family whose word it
  // is (the others leave them alone).
  std::string payload;
  if (!tkconsole::expandLockCommand(words, fromShell, error) ||
      !tkconsole::expandLibraryCommand(words, fromShell, error) ||
      !tkconsole::expandStorageLibraryCommand(words, fromShell, error) ||
      !tkconsole::expandCanDeleteCommand(words, fromShell, error) ||
      !tkconsole::expandDevicePathCommand(words, fromShell, error) ||
      !tkconsole::expandDriveCommand(words, fromShell, error, payload) ||
      !tkconsole::expandControlCommand(words, fromShell, error) ||
      !tkconsole::expandDetectionCommand(words, fromShell, error) ||
      !tkconsole::expandSANVolumeCommand(words, fromShell, error) ||
      !tkconsole::expandNasCommand(words, fromShell, error) ||
      !tkconsole::expandLibraryChangeCommand(words, fromShell, error, payload))
    return false;
  // Every console word has been replaced by its request by now: a word of
  // the console's form still standing was mistyped, and is not sent as a
  // handler name (those all have capitals).
  const std::size_t at = tkconsole::handlerWordAt(words);
  if (at < words.size()) {
    const std::string word = fromShell ? words[at] : tkconsole::unquote(words[at]);
    if (!word.empty() && tkconsole::looksLikeConsoleWord(word)) {
      error = "unknown word " + word;
      const std::vector<std::string> near = tkconsole::closestWords(word);
      for (std::size_t i = 0; i < near.size(); ++i) error += (i == 0 ? "; did you mean " : " or ") + near[i];
      if (!near.empty()) error += "?";
      error += " (tkconsole --help lists the words, tkconsole --list the handlers)";
      return false;
    }
  }
  if (!tkconsole::parseRequest(words, defaults, sequence, request, error, fromShell)) return false;
  if (!payload.empty()) request.stream.stream = payload;
  return true;
}

// A request's word and arguments as they were written, without the options
// before them and without its passwords.
std::string typedRequest(const std::vector<std::string>& written, bool fromShell) {
  const std::vector<std::string> words = tkconsole::wordsWithoutPasswords(written, fromShell);
  std::string typed;
  std::size_t at = tkconsole::handlerWordAt(words);
  // An XML request's message id belongs to it.
  if (at >= 2 && words[at - 2] == "--xml") at -= 2;
  for (std::size_t i = at; i < words.size(); ++i)
    typed += (typed.empty() ? "" : " ") + words[i];
  // Advice, not a copy of the request: a long one is cut short.
  constexpr std::size_t kShown = 160;
  if (typed.size() > kShown) typed = typed.substr(0, kShown) + " ...";
  return typed;
}

// The requests of one run and the one connection they go over: the host
// knows a console by its connection, and the configuration session (the
// lock, the handles of its listings) belongs to it.
class Session {
 public:
  Session(const Settings& settings, const tkconsole::Defaults& defaults)
      : m_settings(settings), m_nextSequence(defaults.sequence.value_or(1)), m_lineDefaults(defaults) {
    m_lineDefaults.sequence.reset();
    m_lock.ask = [this](const tkconsole::Request& like) { return askLockState(like); };
    m_lock.console = "tkconsole";
    if (settings.socketPath != kDefaultSocket) m_lock.console += " --socket " + settings.socketPath;
    if (defaults.userId != tkconsole::Defaults().userId) m_lock.console += " --user " + std::to_string(defaults.userId);
  }
  ~Session() {
    m_answers.reset();  // reads the descriptor: gone before it is closed
    if (m_fd >= 0) ::close(m_fd);
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const tkconsole::Defaults& lineDefaults() const { return m_lineDefaults; }
  int64_t nextSequence() const { return m_nextSequence; }

  // `shown`: the script line echoed before its answers (empty: none);
  // `typed`: the request's word and arguments, for advice.
  void add(const tkconsole::Request& request, const std::string& shown, const std::string& typed) {
    ++m_nextSequence;
    m_requests.push_back(request);
    m_lines.push_back(shown);
    m_typed.push_back(typed);
  }

  // One script line: nothing for a blank or comment line, else its request.
  // False (with the reason on standard error) when the line is wrong.
  bool addLine(const std::string& line, const std::string& scriptPath, int number) {
    const std::string scriptName = scriptPath == "-" ? "standard input" : scriptPath;
    std::vector<std::string> lineWords;
    std::string error;
    tkconsole::Request request;
    if (!tkconsole::splitLine(line, lineWords, error) ||
        (!lineWords.empty() && !prepareRequest(lineWords, false, m_lineDefaults, m_nextSequence, request, error))) {
      std::fprintf(stderr, "tkconsole: %s:%d: %s\n", scriptName.c_str(), number,
                   tkconsole::textWithoutPasswords(error, lineWords, false).c_str());
      return false;
    }
    if (lineWords.empty()) return true;
    const size_t first = line.find_first_not_of(" \t");
    const size_t last = line.find_last_not_of(" \t\r");
    add(request, tkconsole::lineWithoutPasswords(line.substr(first, last - first + 1)), typedRequest(lineWords, false));
    return true;
  }

  // Connects, waiting up to --timeout for a host that is still starting;
  // false, with what to do on standard error, when there is none.
  bool connect() {
    std::string error;
    m_fd = connectWithin(m_settings.socketPath, m_settings.timeoutMs, error);
    if (m_fd >= 0) {
      m_answers = std::make_unique<tkconsole::AnswerReader>(m_fd);
      return true;
    }
    std::fprintf(stderr,
                 "tkconsole: cannot reach the host at %s: %s (start it with `tkhost --socket %s &`, or pass "
                 "--socket PATH where it listens)\n",
                 m_settings.socketPath.c_str(), error.c_str(), m_settings.socketPath.c_str());
    return false;
  }

  // Sends the requests added so far, in order, and prints their answers;
  // false once the host has closed the connection or stopped answering.
  bool sendPending() {
    for (; m_sent < m_requests.size(); ++m_sent) {
      if (!m_lines[m_sent].empty()) std::cout << "> " << m_lines[m_sent] << "\n";
      const Outcome outcome = m_settings.list ? exchange(m_fd, *m_answers, m_requests[m_sent], std::string(), m_settings,
                                                         m_lock, printHandlerList)
                                              : exchange(m_fd, *m_answers, m_requests[m_sent], m_typed[m_sent],
                                                         m_settings, m_lock);
      if (outcome == Outcome::Lost) {
        m_status = kExitLost;
        return false;
      }
      if (outcome == Outcome::Failure) m_status = kExitFailure;
    }
    return true;
  }

  int runAll() {
    if (sendPending()) noteLockLeftHeld();
    return m_status;
  }

  // A session typed or piped line by line: each request is answered as soon
  // as its line has been read, on the one connection, so that the handles a
  // listing gives stay good for the lines after it. A wrong line ends the
  // session (status 64) with what came before it answered.
  int runStandardInput() {
    if (!connect()) return kExitUnreachable;
    std::string line;
    for (int number = 1; std::getline(std::cin, line); ++number) {
      if (!addLine(line, "-", number)) {
        noteLockLeftHeld();
        return kExitUsage;
      }
      if (!sendPending()) return m_status;
    }
    noteLockLeftHeld();
    return m_status;
  }

 private:
  // A console that exits holding the lock leaves it held: it says so, and
  // how to release it.
  void noteLockLeftHeld() {
    if (m_lock.holdsLock) std::cout << "  (" << tkconsole::adviceHeldAfterExit(m_lock.console) << ")" << std::endl;
  }

  // Who holds the lock, asked on a connection of its own that ends with the
  // question (see LockAdvice.h); every request of the question goes over it.
  tkconsole::LockState askLockState(const tkconsole::Request& like) {
    int fd = -1;
    auto ask = [this, &fd](const tkconsole::Request& request) {
      std::vector<tkwire::Reply> answers;
      std::string error;
      if (fd < 0) fd = connectWithin(m_settings.socketPath, m_settings.timeoutMs, error);
      if (fd < 0 || !tkwire::writeAll(fd, request.encode())) return answers;
      std::string body;
      while (tkwire::readFrame(fd, answers.empty() ? m_settings.timeoutMs : m_settings.waitMs, body) ==
             tkwire::ReadStatus::Ok) {
        std::optional<tkwire::Reply> reply = tkwire::decodeReply(body);
        if (!reply) break;
        answers.push_back(std::move(*reply));
        if (answers.back().isEnd()) break;
      }
      return answers;
    };
    const tkconsole::LockState state = tkconsole::askLockState(like, ask);
    if (fd >= 0) ::close(fd);
    return state;
  }

  const Settings& m_settings;
  int64_t m_nextSequence;
  tkconsole::Defaults m_lineDefaults;
  std::vector<tkconsole::Request> m_requests;
  std::vector<std::string> m_lines;
  std::vector<std::string> m_typed;
  size_t m_sent = 0;
  int m_fd = -1;
  // The one reader of the connection's answers, made with it.
  std::unique_ptr<tkconsole::AnswerReader> m_answers;
  int m_status = 0;
  LockContext m_lock;
};

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  tkconsole::Defaults defaults;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(usageText().c_str(), stdout);
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

  if (settings.list && (!settings.scriptPath.empty() || !words.empty())) {
    std::fprintf(stderr, "tkconsole: --list takes neither --script nor a request\n");
    return kExitUsage;
  }
  if (!settings.scriptPath.empty() && !words.empty()) {
    std::fprintf(stderr, "tkconsole: --script takes no request on the command line\n");
    return kExitUsage;
  }
  if (!settings.list && settings.scriptPath.empty() && words.empty()) {
    std::fputs(usageText().c_str(), stderr);
    return kExitUsage;
  }
  Session session(settings, defaults);
  if (settings.scriptPath == "-") return session.runStandardInput();

  // Parse everything before connecting: a wrong line sends nothing.
  if (settings.list) {
    tkconsole::Request request;
    request.stream.handler = tkwire::kListHandlersName;
    request.stream.sequence = session.nextSequence();
    session.add(request, std::string(), std::string());
  } else if (!settings.scriptPath.empty()) {
    std::string text;
    std::string readError;
    if (!readScript(settings.scriptPath, text, readError)) {
      std::fprintf(stderr, "tkconsole: %s\n", readError.c_str());
      return kExitUsage;
    }
    std::istringstream script(text);
    std::string line;
    for (int number = 1; std::getline(script, line); ++number) {
      if (!session.addLine(line, settings.scriptPath, number)) return kExitUsage;
    }
  } else {
    tkconsole::Request request;
    std::string error;
    if (!prepareRequest(words, true, session.lineDefaults(), session.nextSequence(), request, error)) {
      std::fprintf(stderr, "tkconsole: %s\n", tkconsole::textWithoutPasswords(error, words, true).c_str());
      return kExitUsage;
    }
    session.add(request, std::string(), typedRequest(words, true));
  }
  if (!session.connect()) return kExitUnreachable;
  return session.runAll();
}
