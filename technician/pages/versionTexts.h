// The texts of the Software && Parameters page's version statics, from the
// numbers the machine information record and the link keep.
#pragma once
#include <cstdint>
#include <string>

// Version 1120 is "E1.12.0": hundreds and tens as a two-decimal number, the
// units digit after a second point.
std::wstring firmwareVersionText(std::uint16_t version);
// The same form with "H" for the hardware revision.
std::wstring hardwareRevisionText(std::uint16_t revision);
// "USB " and the machines server's version as the program shows versions.
std::wstring driverVersionText(double serverVersion);
// Whole hours of the machine's running minutes ("1 hours" for 119).
std::wstring buildTimeText(std::uint32_t runningMinutes);
