// The scripted tools of clients and their socket connections.
#include "platform/network/RemoteTools.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace tknetwork {
namespace {

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct Tools {
  std::mutex mutex;
  std::set<std::string> hosts;
  std::map<std::pair<std::string, std::string>, ToolScript> scripts;
};

Tools& tools() {
  static Tools t;
  return t;
}

void putWord(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

void addHost(const std::string& host) {
  std::lock_guard<std::mutex> guard(tools().mutex);
  tools().hosts.insert(lowered(host));
}

void scriptTool(const std::string& host, const std::string& program, const ToolScript& script) {
  std::lock_guard<std::mutex> guard(tools().mutex);
  tools().hosts.insert(lowered(host));
  tools().scripts[{lowered(host), program}] = script;
}

void resetTools() {
  std::lock_guard<std::mutex> guard(tools().mutex);
  tools().hosts.clear();
  tools().scripts.clear();
}

CWyError findTool(const std::string& host, const std::string& program, ToolScript& script) {
  std::lock_guard<std::mutex> guard(tools().mutex);
  const std::string key = lowered(host);
  if (host.empty() || tools().hosts.count(key) == 0)
    return CWyError(kErrUnknownHost, "Host [" + host + "] is unknown or cannot be reached.");
  auto it = tools().scripts.find({key, program});
  if (it == tools().scripts.end())
    return CWyError(kErrNoTool, "Program [" + program + "] was not found on host [" + host + "].");
  script = it->second;
  return CWyError();
}

Bytes frame(uint32_t type, const Bytes& bytes) {
  Bytes out;
  out.reserve(8 + bytes.size());
  putWord(out, type);
  putWord(out, static_cast<uint32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
  return out;
}

CWyError ToolConnection::start(Bytes output) {
  close();
  int ends[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return CWyError(kErrSocket, std::string("Could not open a connection: ") + std::strerror(errno));
  m_fd.reset(ends[0]);
  Descriptor toolEnd(ends[1]);
  m_writer = std::thread([fd = std::move(toolEnd), bytes = std::move(output)]() {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      ssize_t n = ::send(fd.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;  // the session went away
      sent += static_cast<std::size_t>(n);
    }
  });
  return CWyError();
}

void ToolConnection::close() {
  m_fd.reset();
  if (m_writer.joinable()) m_writer.join();
}

tkjournal::Journal& journal() {
  static tkjournal::Journal j;
  return j;
}

}  // namespace tknetwork
