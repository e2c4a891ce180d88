#include "study/sha256.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace trevolan::study {

namespace {

constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void Compress(std::array<uint32_t, 8>& h, const unsigned char* block) {
  std::array<uint32_t, 64> w{};
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t{block[4 * i]} << 24 | uint32_t{block[4 * i + 1]} << 16 | uint32_t{block[4 * i + 2]} << 8 |
           uint32_t{block[4 * i + 3]};
  }
  for (int i = 16; i < 64; ++i) {
    const uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  auto [a, b, c, d, e, f, g, k] = h;
  for (int i = 0; i < 64; ++i) {
    const uint32_t t1 = k + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    k = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  const std::array<uint32_t, 8> add{a, b, c, d, e, f, g, k};
  for (int i = 0; i < 8; ++i) h[i] += add[i];
}

}  // namespace

Sha256& Sha256::Add(std::string_view data) {
  length_ += data.size();
  // Whole blocks straight from the data; a part block waits in `block_` for the rest.
  while (!data.empty()) {
    if (filled_ == 0 && data.size() >= 64) {
      Compress(h_, reinterpret_cast<const unsigned char*>(data.data()));
      data.remove_prefix(64);
      continue;
    }
    const size_t take = std::min(data.size(), 64 - filled_);
    std::memcpy(block_.data() + filled_, data.data(), take);
    filled_ += take;
    data.remove_prefix(take);
    if (filled_ == 64) {
      Compress(h_, block_.data());
      filled_ = 0;
    }
  }
  return *this;
}

std::string Sha256::Hex() const {
  std::array<uint32_t, 8> h = h_;
  // The tail, a 1 bit, zeros, and the length in bits in the last 8 bytes.
  unsigned char tail[128] = {};
  std::memcpy(tail, block_.data(), filled_);
  tail[filled_] = 0x80;
  const size_t blocks = filled_ + 9 <= 64 ? 1 : 2;
  const uint64_t bits = length_ * 8;
  for (int i = 0; i < 8; ++i) tail[blocks * 64 - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
  for (size_t b = 0; b < blocks; ++b) Compress(h, tail + 64 * b);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (const uint32_t word : h) {
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(word >> shift) & 0xf];
  }
  return out;
}

std::string Sha256Hex(std::string_view data) { return Sha256().Add(data).Hex(); }

std::optional<std::string> FileSha256Hex(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  Sha256 sha;
  std::vector<char> chunk(1 << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    sha.Add(std::string_view(chunk.data(), static_cast<size_t>(in.gcount())));
  }
  if (in.bad()) return std::nullopt;
  return sha.Hex();
}

}  // namespace trevolan::study
