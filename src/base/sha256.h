// SHA-256 (FIPS 180-4) of a text, as lowercase hexadecimal. It names a
// version of a file: two contents with the same digest are taken to be the
// same content.
#pragma once

#include <string>
#include <string_view>

namespace census {

// sha256Hex("abc") ==
// "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
std::string sha256Hex(std::string_view bytes);

}  // namespace census
