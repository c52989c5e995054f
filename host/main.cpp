// tkhost: loads the handler library and serves console requests on a Unix
// socket until SIGTERM, SIGINT or SIGHUP.
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "host/Dispatcher.h"
#include "host/HandlerLibrary.h"
#include "host/HostLog.h"
#include "host/Memory.h"
#include "host/Server.h"
#include "platform/db/DBSession.h"
#include "platform/security/StoredPassword.h"
#include "platform/reply/ReplyChannel.h"
#include "platform/security/Rights.h"

namespace {

const char kUsage[] =
    "usage: tkhost [--socket PATH] [--library PATH] [--seed-demo] [--max-connections N]\n"
    "              [--frame-deadline MS] [--verbose | --quiet]\n"
    "       tkhost --help | --version\n"
    "  --socket PATH         where to listen (default var/tkhost.sock; owner-only)\n"
    "  --library PATH        the handler library (default libtkmmconfig.so next to tkhost)\n"
    "  --seed-demo           fill an empty database with the demonstration installation\n"
    "  --max-connections N   connections served at once (default 256)\n"
    "  --frame-deadline MS   once a request frame has begun, all of it must arrive within\n"
    "                        MS milliseconds, else its connection is closed (default 10000)\n"
    "  --verbose             log every request; --quiet logs errors only\n"
    "Environment:\n"
    "  TK_DB          the database file (default var/tarnkeep.db), opened and given its\n"
    "                 schema at start; removed or replaced while the host runs, it is\n"
    "                 not made again and every request is refused naming it\n"
    "  TK_LOCK_DIR    where the library locks keep their lock files (default var/locks)\n"
    "  TK_LOG_DIR     where the handlers' debug log tkmmconfig.log is written (default: none)\n"
    "  TK_LOG_LEVEL   the highest debug-log level written (-1 errors only; default: all)\n"
    "  TK_RIGHTS      where the users' rights come from: \"table\" (default) the users\n"
    "                 table of the database (UMUsers, UMUserRights; --seed-demo adds\n"
    "                 admin, user 1, and operator, user 2); \"scripted\" the test kit's\n"
    "                 rules, which allow everything in the host (for tests only)\n"
    "Files the host creates (database, logs, lock files, socket) are for their owner only.\n"
    "The host logs to standard error. SIGTERM or SIGINT stops it, and so does SIGHUP (its\n"
    "terminal closed): connections are shut down and the socket file is removed.\n"
    "Exit status: 0 stopped by a signal (or --help, --version), 1 it could not start (the\n"
    "database, the library or the socket; the reason is logged), 2 wrong arguments.\n";

struct Options {
  std::string socketPath = "var/tkhost.sock";
  std::string libraryPath;
  bool seedDemo = false;
  size_t maxConnections = tkhost::kDefaultMaxConnections;
  int frameDeadlineMs = tkhost::kDefaultFrameDeadlineMs;
  int logLevel = 1;
};

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "tkhost: %s needs a value\n", arg.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    // A whole number from 1 to `most`.
    auto number = [&](unsigned long& out, unsigned long most, const char* what) {
      std::string text;
      if (!value(text)) return false;
      char* end = nullptr;
      out = std::strtoul(text.c_str(), &end, 10);
      if (text.empty() || text[0] == '-' || *end != '\0' || out == 0 || out > most) {
        std::fprintf(stderr, "tkhost: %s takes %s from 1 to %lu\n", arg.c_str(), what, most);
        return false;
      }
      return true;
    };
    if (arg == "--socket") {
      if (!value(options.socketPath)) return false;
    } else if (arg == "--library") {
      if (!value(options.libraryPath)) return false;
    } else if (arg == "--seed-demo") {
      options.seedDemo = true;
    } else if (arg == "--max-connections") {
      unsigned long n = 0;
      if (!number(n, 100000, "a number")) return false;
      options.maxConnections = n;
    } else if (arg == "--frame-deadline") {
      unsigned long n = 0;
      if (!number(n, 3600000, "milliseconds")) return false;
      options.frameDeadlineMs = static_cast<int>(n);
    } else if (arg == "--verbose" || arg == "-v" || arg == "--quiet" || arg == "-q") {
      const int level = arg == "--verbose" || arg == "-v" ? 2 : 0;
      if (options.logLevel != 1 && options.logLevel != level) {
        std::fprintf(stderr, "tkhost: --verbose and --quiet contradict each other\n");
        return false;
      }
      options.logLevel = level;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--version") {
      std::printf("tkhost %s\n", TK_VERSION);
      std::exit(0);
    } else {
      std::fprintf(stderr, "tkhost: unknown option %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

// Opens the database, giving a new one its schema, and proves that it can be
// written: a file that is no database, or one the host cannot write, stops
// the host at start instead of failing every request later.
bool openDatabase(std::string& error) {
  const std::string path = std::getenv("TK_DB");
  tkdb::Session session;
  int code = session.exec("SELECT count(*) FROM sqlite_master");
  if (code == 0 || code == DB_NO_ROW) {
    code = session.atomically([&session] {
      return session.exec("CREATE TABLE tkhost_write_check(x); DROP TABLE tkhost_write_check;");
    });
  }
  if (code == 0 || code == DB_NO_ROW) {
    // An older build's clear proxy passwords in the user names, converted
    // once per file (a file marked converted is left as it is); a conversion
    // that cannot be stored now is logged, and tried again at the next start.
    tkpassword::storeClearProxyPasswords();
    return true;
  }
  error = "cannot use the database " + path + ": " +
          (session.errorText().empty() ? std::string("error ") + std::to_string(code) : session.errorText());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  tkhost::setLogLevel(options.logLevel);
  tkhost::mapLargeBuffersOnTheirOwn();
  // An answer the reply channel could not send as built is an error of the host's.
  tkreply::setProblemLog([](const char* text) { tkhost::logLine(tkhost::kLogError, "%s", text); });
  // The database holds credentials, and the logs and lock files tell about
  // the installation: whatever the host or its handlers create is the
  // owner's alone.
  ::umask(077);
  // A file-size limit (ulimit -f) must not kill the host in the middle of a
  // write of the database or its log: with the signal ignored the write
  // fails (EFBIG), and the change is answered as a failure and rolled back,
  // as on a full disk.
  signal(SIGXFSZ, SIG_IGN);

  // The handler library and its platform read their settings from the
  // environment; the database defaults to var/tarnkeep.db.
  const char* database = std::getenv("TK_DB");
  if (database == nullptr || *database == '\0') setenv("TK_DB", "var/tarnkeep.db", 1);
  std::string error;
  if (!openDatabase(error)) {
    tkhost::logLine(tkhost::kLogError, "%s", error.c_str());
    return 1;
  }
  // The file just opened is the host's until it stops: no later connection
  // makes it again, and a change after it was removed or replaced is
  // refused, where it would be answered "Success" and lost.
  if (!tkdb::holdDatabaseFile(error)) {
    tkhost::logLine(tkhost::kLogError, "%s", error.c_str());
    return 1;
  }
  // Users are refused and allowed as the users table says, as in an
  // installation; only a test asks for the scripted rules.
  const char* rights = std::getenv("TK_RIGHTS");
  const std::string rightsSource = rights != nullptr ? rights : "";
  if (!rightsSource.empty() && rightsSource != "table" && rightsSource != "scripted") {
    std::fprintf(stderr, "tkhost: TK_RIGHTS takes table or scripted, not %s\n", rightsSource.c_str());
    return 2;
  }
  tksecurity::useUsersTable(rightsSource != "scripted");

  // SIGTERM, SIGINT and SIGHUP arrive on a descriptor (a host started from a
  // terminal that closes stops as cleanly as one told to stop); every thread started from here
  // on inherits the blocked mask, so no handler thread is interrupted.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
    tkhost::logLine(tkhost::kLogError, "cannot block the stop signals");
    return 1;
  }
  int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) {
    tkhost::logLine(tkhost::kLogError, "signalfd: %s", std::strerror(errno));
    return 1;
  }
  // A console that goes away must not kill the host while a reply is written.
  signal(SIGPIPE, SIG_IGN);

  std::string libraryPath = options.libraryPath.empty() ? tkhost::HandlerLibrary::defaultPath() : options.libraryPath;
  std::unique_ptr<tkhost::HandlerLibrary> library = tkhost::HandlerLibrary::open(libraryPath, error);
  if (!library) {
    tkhost::logLine(tkhost::kLogError, "%s", error.c_str());
    return 1;
  }
  int status = 0;
  {
    tkhost::Dispatcher dispatcher;
    if (!dispatcher.init(library->api(), error)) {
      tkhost::logLine(tkhost::kLogError, "%s: %s", library->path().c_str(), error.c_str());
      return 1;
    }

    if (options.seedDemo) {
      std::string message;
      int made = library->seedDemo(message);
      if (made < 0) {
        tkhost::logLine(tkhost::kLogError, "--seed-demo failed: %s", message.c_str());
        return 1;
      }
      if (message.empty()) message = std::to_string(made) + " objects made";
      tkhost::logLine(0, "--seed-demo: %s", message.c_str());
    }

    tkhost::Server server(dispatcher, options.maxConnections, options.frameDeadlineMs);
    if (!server.listen(options.socketPath, error)) {
      tkhost::logLine(tkhost::kLogError, "%s", error.c_str());
      status = 1;
    } else {
      tkhost::logLine(0, "listening on %s with %zu handlers from %s; database %s", options.socketPath.c_str(),
                      dispatcher.handlerCount(), library->path().c_str(), std::getenv("TK_DB"));
      server.run(stopFd);
      tkhost::logLine(0, "stopped");
    }
  }
  library.reset();
  ::close(stopFd);
  return status;
}
