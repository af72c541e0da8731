#pragma once
// What both files of the profile tests need.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

namespace flash::test {

// Dates a file back, out of the window in which the cache trusts no index.
inline void Age(const std::string& path, int seconds) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(seconds), ec);
  ASSERT_FALSE(ec) << path << ": " << ec.message();
}

}  // namespace flash::test
