#include "base/CommandLine.h"

#include "base/Profile.h"

namespace flash {

std::optional<std::string> CommandLine::HexFile() const {
  if (args_.empty()) return std::nullopt;
  return args_.front();
}

bool CommandLine::NoDialog() const {
  for (std::size_t i = 1; i < args_.size(); ++i)
    if (profile::EqualsNoCase(args_[i], "no_dialog")) return true;
  return false;
}

std::optional<int> CommandLine::PortIndex() const {
  if (args_.size() < 2) return std::nullopt;
  for (int n = 1; n <= 64; ++n) {
    std::string name = "com" + std::to_string(n);
    if (profile::EqualsNoCase(args_[1], name) ||
        (args_.size() >= 3 && profile::EqualsNoCase(args_[2], name)))
      return n - 1;
  }
  return 0;
}

bool CommandLine::ResetPrompt() const {
  if (resetOverride_) return *resetOverride_;
  for (std::size_t i = 1; i < args_.size(); ++i) {
    if (profile::EqualsNoCase(args_[i], "reset")) return true;
    if (profile::EqualsNoCase(args_[i], "no_reset")) return false;
  }
  return true;
}

}  // namespace flash
