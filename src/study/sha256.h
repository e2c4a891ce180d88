#pragma once
#include <string>
#include <string_view>

namespace trevolan::study {

// The SHA-256 digest of `data` (FIPS 180-4) as 64 lower-case hexadecimal digits: a
// study's record names its model's text by it.
std::string Sha256Hex(std::string_view data);

}  // namespace trevolan::study
