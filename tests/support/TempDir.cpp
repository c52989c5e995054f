#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/Owned.h"

namespace tktest {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tktest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
  tkowned::enterFolder(m_path);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
  tkowned::forgetFolder(m_path);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name) {
  if (const char* old = std::getenv(name)) {
    m_hadValue = true;
    m_oldValue = old;
  }
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (m_hadValue) {
    setenv(m_name.c_str(), m_oldValue.c_str(), 1);
  } else {
    unsetenv(m_name.c_str());
  }
}

}  // namespace tktest
