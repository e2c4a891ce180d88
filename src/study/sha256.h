#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trevolan::study {

// The SHA-256 digest (FIPS 180-4) of data given in pieces, as 64 lower-case hexadecimal
// digits: a study's record names its model's text and its output files by it.
class Sha256 {
 public:
  Sha256& Add(std::string_view data);
  std::string Hex() const;  // of the data added so far

 private:
  std::array<uint32_t, 8> h_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::array<unsigned char, 64> block_{};
  size_t filled_ = 0;
  uint64_t length_ = 0;
};

std::string Sha256Hex(std::string_view data);
// The digest of a file's bytes, read in pieces; nullopt when it cannot be read.
std::optional<std::string> FileSha256Hex(const std::string& path);

}  // namespace trevolan::study
