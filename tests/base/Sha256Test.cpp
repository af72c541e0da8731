#include "base/Sha256.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace flash {
namespace {

TEST(Sha256, StandardVectors) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Sha256Hex(std::string(1'000'000, 'a')),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PiecesOfAnySizeGiveTheSameDigest) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += static_cast<char>(i * 7);
  const std::string whole = Sha256Hex(data);
  for (std::size_t step : {1u, 3u, 55u, 56u, 63u, 64u, 65u, 200u}) {
    Sha256 hash;
    for (std::size_t at = 0; at < data.size(); at += step) {
      hash.Update(data.data() + at, std::min(step, data.size() - at));
    }
    EXPECT_EQ(hash.FinishHex(), whole) << "pieces of " << step;
  }
  // Finish starts afresh.
  Sha256 hash;
  hash.Update("x", 1);
  hash.Finish();
  hash.Update("abc", 3);
  EXPECT_EQ(hash.FinishHex(), Sha256Hex("abc"));
}

TEST(Sha256, OfAFile) {
  test::TempDir dir;
  const std::string content(200'000, 'a');
  dir.Write("image.hex", content);
  std::string hex, error;
  ASSERT_TRUE(Sha256OfFile(dir.File("image.hex"), hex, error)) << error;
  EXPECT_EQ(hex, Sha256Hex(content));
  EXPECT_EQ(hex.size(), 64u);

  dir.Write("empty.hex", "");
  ASSERT_TRUE(Sha256OfFile(dir.File("empty.hex"), hex, error));
  EXPECT_EQ(hex, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

}  // namespace
}  // namespace flash
