#pragma once
// Sets an environment variable for its lifetime, then puts back what was there;
// only while no other thread of the process can be reading the environment.

#include <cstdlib>
#include <optional>
#include <string>

namespace tavrin::testing {

class ScopedEnv {
public:
  ScopedEnv(const std::string& name, const char* value) : m_name(name) {
    if (const char* old = std::getenv(name.c_str())) m_old = old;
    ::setenv(name.c_str(), value, 1);
  }
  ~ScopedEnv() {
    if (m_old) {
      ::setenv(m_name.c_str(), m_old->c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace tavrin::testing
