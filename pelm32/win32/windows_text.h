// UTF-8, the engine's texts, to and from the UTF-16 of the Windows calls.
#pragma once

#include <string>

namespace pelm32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

}  // namespace pelm32
