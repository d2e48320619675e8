#include "base/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace census {
namespace {

// The published test vectors, and lengths around the block's edge, where
// the padding takes one block or two.
TEST(Sha256, DigestsMatchThePublishedVectors) {
  const struct {
    std::string input;
    std::string digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sha256Hex(c.input), c.digest) << "input of " << c.input.size() << " bytes";
    // Handed over in pieces that cut blocks anywhere, the digest is the same.
    for (const std::size_t piece : {1u, 7u, 63u, 64u, 65u, 4096u}) {
      Sha256 digest;
      for (std::size_t at = 0; at < c.input.size(); at += piece) {
        digest.add(std::string_view(c.input).substr(at, piece));
      }
      EXPECT_EQ(digest.hex(), c.digest) << "in pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace census
