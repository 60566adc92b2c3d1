// Which machine parameters the Software && Parameters page lists, and the
// limits it shows beside three of them. Machines before embedded version
// 1120 know no opened-parameters list, so they get a fixed set; later ones
// list what the technician has opened ("OpenedParams.txt"). The page adds
// the trim knife's "DZ Table Up" row after these.
#pragma once
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class machineParam_t;

inline constexpr std::uint16_t openedParamsListVersion = 1120;

// The descriptors of the listed rows, in list order. Below version 1120 the
// eleven fixed parameters; otherwise one per line of the opened-parameters
// text ("index name"; a line that does not begin with a number ends it)
// that names a known parameter, never "Machine Flags" (the main window's
// Open Door box owns it), and no parameter twice. No text gives no rows.
std::vector<const machineParam_t*> listedParameters(std::uint16_t embeddedVersion, std::istream* openedParams);
// The same, reading the opened-parameters file at that path (narrow text).
std::vector<const machineParam_t*> listedParametersOf(std::uint16_t embeddedVersion,
                                                      const std::wstring& openedParamsPath);

// The Min. and Max. texts of a listed parameter, for the three that have
// them. Shown only: nothing typed is checked against them.
std::optional<std::pair<std::wstring, std::wstring>> parameterLimits(const std::wstring& name);
