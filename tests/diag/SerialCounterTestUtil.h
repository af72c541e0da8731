#pragma once
// What both files of the serial counter tests need.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "diag/SerialCounter.h"
#include "support/TempDir.h"

namespace flash::test {

// Every number from start to start + total - 1 exactly once, and the file
// at the one after.
inline void ExpectEachTakenOnce(const TempDir& dir, const std::vector<uint64_t>& taken,
                                uint64_t start, std::size_t total) {
  EXPECT_EQ(dir.Read(kSerialFile), std::to_string(start + total) + "\r\n");
  ASSERT_EQ(taken.size(), total);
  const std::set<uint64_t> unique(taken.begin(), taken.end());
  EXPECT_EQ(unique.size(), total) << "a number was handed out twice";
  EXPECT_EQ(*unique.begin(), start);
  EXPECT_EQ(*unique.rbegin(), start + total - 1);
}

}  // namespace flash::test
