#pragma once
// An environment variable set or removed for a test and put back as it was
// when the object goes. Windows has no setenv: _putenv_s changes the C
// library's copy and the process's own block together, and an empty value
// removes the variable there (Windows keeps no empty variables).
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace flash::test {

class EnvVar {
 public:
  explicit EnvVar(std::string name) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) saved_ = old;
  }
  ~EnvVar() { Put(saved_ ? saved_->c_str() : nullptr); }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

  void Set(const std::string& value) const { Put(value.c_str()); }
  void Unset() const { Put(nullptr); }

 private:
  // value null: the variable is removed.
  void Put(const char* value) const {
#ifdef _WIN32
    _putenv_s(name_.c_str(), value ? value : "");
#else
    if (value)
      setenv(name_.c_str(), value, 1);
    else
      unsetenv(name_.c_str());
#endif
  }

  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace flash::test
