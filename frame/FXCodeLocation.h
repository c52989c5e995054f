// The source location an error is made at. Refers to texts of static
// lifetime and owns nothing.
#pragma once

class FXCodeLocation {
 public:
  FXCodeLocation(const char* file, const char* function, int line)
      : m_file(file), m_function(function), m_line(line) {}
  ~FXCodeLocation() {}

  const char* File() const { return m_file; }
  const char* Function() const { return m_function; }
  int Line() const { return m_line; }

 private:
  const char* m_file;
  const char* m_function;
  int m_line;
};

// A location for the calling function.
#define FX_CODE_LOCATION FXCodeLocation(__FILE__, __PRETTY_FUNCTION__, __LINE__)
