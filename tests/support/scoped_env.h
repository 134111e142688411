// Sets an environment variable for one test and puts the old value back afterwards. Tests that
// reach the cookie store point XDG_DATA_HOME at a temporary folder with it, never at the user's.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace stdlookup::test {

namespace detail {
// The C runtime's own calls: Windows has _putenv_s, where an empty value removes the variable.
inline void set_env(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value.c_str());
#else
  ::setenv(name.c_str(), value.c_str(), 1);
#endif
}
inline void unset_env(const std::string& name) {
#ifdef _WIN32
  _putenv_s(name.c_str(), "");
#else
  ::unsetenv(name.c_str());
#endif
}
}  // namespace detail

class ScopedEnv {
 public:
  ScopedEnv(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value) {
      detail::set_env(name_, *value);
    } else {
      detail::unset_env(name_);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      detail::set_env(name_, *old_);
    } else {
      detail::unset_env(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace stdlookup::test
