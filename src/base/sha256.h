// SHA-256 (FIPS 180-4) of a text, as lowercase hexadecimal. It names a
// version of a file: two contents with the same digest are taken to be the
// same content.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace census {

// sha256Hex("abc") ==
// "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
std::string sha256Hex(std::string_view bytes);

// The same of a text handed over in pieces, for one too long to hold.
class Sha256 {
 public:
  Sha256();
  void add(std::string_view bytes);
  // The digest of all that was added; the object is spent.
  std::string hex();

 private:
  std::array<std::uint32_t, 8> state_;
  std::array<unsigned char, 64> pending_{};
  std::size_t pending_size_ = 0;
  std::uint64_t size_ = 0;
};

}  // namespace census
