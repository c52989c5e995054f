// A fresh directory for one test, removed with everything in it afterwards
// (also when the process leaves past the destructor: tests/support/Owned.h).
#pragma once

#include <string>

namespace tktest {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  bool m_hadValue = false;
  std::string m_oldValue;
};

}  // namespace tktest
