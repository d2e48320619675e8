// Windows only: names as the wide-character API takes them, from and to
// the UTF-8 the rest of the program speaks.
#pragma once

#include <string>

namespace census {

std::wstring wideFromUtf8(const std::string& text);
std::string utf8FromWide(const std::wstring& text);

}  // namespace census
