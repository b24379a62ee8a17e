// The sRGB colour space as an ICC profile (version 2, a display profile of
// three primaries and their tone curve): the output intent of an archival
// PDF, which says what its DeviceRGB bitmaps mean.
#pragma once

#include <string>

namespace pelm32::pdf {

// The profile's bytes; the same on every call.
std::string SrgbProfile();

}  // namespace pelm32::pdf
