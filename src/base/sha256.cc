#include "base/sha256.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

namespace census {
namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

using State = std::array<std::uint32_t, 8>;

void compressBlock(State& state, const unsigned char* block) {
  std::array<std::uint32_t, 64> w{};
  for (std::size_t i = 0; i < 16; ++i) {
    w[i] = std::uint32_t{block[4 * i]} << 24 | std::uint32_t{block[4 * i + 1]} << 16 |
           std::uint32_t{block[4 * i + 2]} << 8 | std::uint32_t{block[4 * i + 3]};
  }
  for (std::size_t i = 16; i < 64; ++i) {
    const std::uint32_t s0 = std::rotr(w[i - 15], 7) ^ std::rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = std::rotr(w[i - 2], 17) ^ std::rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  State v = state;
  for (std::size_t i = 0; i < 64; ++i) {
    const std::uint32_t s1 = std::rotr(v[4], 6) ^ std::rotr(v[4], 11) ^ std::rotr(v[4], 25);
    const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
    const std::uint32_t t1 = v[7] + s1 + choice + kRoundConstants[i] + w[i];
    const std::uint32_t s0 = std::rotr(v[0], 2) ^ std::rotr(v[0], 13) ^ std::rotr(v[0], 22);
    const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
    const std::uint32_t t2 = s0 + majority;
    v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
  }
  for (std::size_t i = 0; i < 8; ++i) state[i] += v[i];
}

}  // namespace

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::add(std::string_view bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t size = bytes.size();
  size_ += size;
  if (pending_size_ > 0) {
    const std::size_t taken = std::min(size, 64 - pending_size_);
    for (std::size_t i = 0; i < taken; ++i) pending_[pending_size_ + i] = data[i];
    pending_size_ += taken;
    data += taken;
    size -= taken;
    if (pending_size_ < 64) return;
    compressBlock(state_, pending_.data());
    pending_size_ = 0;
  }
  for (; size >= 64; data += 64, size -= 64) compressBlock(state_, data);
  for (std::size_t i = 0; i < size; ++i) pending_[i] = data[i];
  pending_size_ = size;
}

std::string Sha256::hex() {
  // The tail, a 1 bit, zeros, and the length in bits: one or two blocks.
  std::array<unsigned char, 128> tail{};
  for (std::size_t i = 0; i < pending_size_; ++i) tail[i] = pending_[i];
  tail[pending_size_] = 0x80;
  const std::size_t tail_size = pending_size_ < 56 ? 64 : 128;
  const std::uint64_t bits = size_ * 8;
  for (std::size_t i = 0; i < 8; ++i) {
    tail[tail_size - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
  }
  for (std::size_t at = 0; at < tail_size; at += 64) compressBlock(state_, tail.data() + at);

  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (const std::uint32_t word : state_) {
    for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(word >> shift) & 0xF];
  }
  return hex;
}

std::string sha256Hex(std::string_view bytes) {
  Sha256 digest;
  digest.add(bytes);
  return digest.hex();
}

}  // namespace census
