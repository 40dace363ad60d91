// ScopedTZ: pins the TZ environment variable for one test and puts the previous setting (or its
// absence) back when it goes out of scope, calling tzset() both times so that the C library's
// local-time functions follow. Header-only and depends on nothing but the C library, so every
// test executable can use it. The zone named must exist in tzdata for the pin to mean anything.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

class ScopedTZ {
 public:
  explicit ScopedTZ(char const* zone) : m_bolHadOld(std::getenv("TZ") != nullptr) {
    if (m_bolHadOld) m_strOld = std::getenv("TZ");
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTZ() {
    if (m_bolHadOld) setenv("TZ", m_strOld.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  ScopedTZ(ScopedTZ const&) = delete;
  ScopedTZ& operator=(ScopedTZ const&) = delete;

 private:
  bool m_bolHadOld;
  std::string m_strOld;
};
