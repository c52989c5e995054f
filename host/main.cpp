// tkhost: loads the handler library and serves console requests on a Unix
// socket until SIGTERM or SIGINT.
#include <signal.h>
#include <sys/signalfd.h>
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
#include "host/Server.h"

namespace {

const char kUsage[] =
    "usage: tkhost [--socket PATH] [--library PATH] [--seed-demo] [--max-connections N]\n"
    "              [--frame-deadline MS] [--verbose | --quiet]\n"
    "  --socket PATH         where to listen (default var/tkhost.sock)\n"
    "  --library PATH        the handler library (default libtkmmconfig.so next to tkhost)\n"
    "  --seed-demo           fill an empty database with the demonstration installation\n"
    "  --max-connections N   connections served at once (default 256)\n"
    "  --frame-deadline MS   once a request frame has begun, all of it must arrive within\n"
    "                        MS milliseconds, else its connection is closed (default 10000)\n"
    "  --verbose             log every request; --quiet logs errors only\n"
    "The database is the file named by TK_DB (default var/tarnkeep.db).\n";

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
    } else if (arg == "--verbose" || arg == "-v") {
      options.logLevel = 2;
    } else if (arg == "--quiet" || arg == "-q") {
      options.logLevel = 0;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else {
      std::fprintf(stderr, "tkhost: unknown argument %s\n", arg.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  tkhost::setLogLevel(options.logLevel);

  // The handler library and its platform read their settings from the
  // environment; the database defaults to var/tarnkeep.db.
  setenv("TK_DB", "var/tarnkeep.db", 0);

  // SIGTERM and SIGINT arrive on a descriptor; every thread started from here
  // on inherits the blocked mask, so no handler thread is interrupted.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
    tkhost::logLine(0, "cannot block the stop signals");
    return 1;
  }
  int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (stopFd < 0) {
    tkhost::logLine(0, "signalfd: %s", std::strerror(errno));
    return 1;
  }
  // A console that goes away must not kill the host while a reply is written.
  signal(SIGPIPE, SIG_IGN);

  std::string error;
  std::string libraryPath = options.libraryPath.empty() ? tkhost::HandlerLibrary::defaultPath() : options.libraryPath;
  std::unique_ptr<tkhost::HandlerLibrary> library = tkhost::HandlerLibrary::open(libraryPath, error);
  if (!library) {
    tkhost::logLine(0, "%s", error.c_str());
    return 1;
  }
  int status = 0;
  {
    tkhost::Dispatcher dispatcher;
    if (!dispatcher.init(library->api(), error)) {
      tkhost::logLine(0, "%s: %s", library->path().c_str(), error.c_str());
      return 1;
    }

    if (options.seedDemo) {
      std::string message;
      int made = library->seedDemo(message);
      if (made < 0) {
        tkhost::logLine(0, "--seed-demo failed: %s", message.c_str());
        return 1;
      }
      if (message.empty()) message = std::to_string(made) + " objects made";
      tkhost::logLine(0, "--seed-demo: %s", message.c_str());
    }

    tkhost::Server server(dispatcher, options.maxConnections, options.frameDeadlineMs);
    if (!server.listen(options.socketPath, error)) {
      tkhost::logLine(0, "%s", error.c_str());
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
