// The dialog ids of the technician program's pages: the identity by which
// the main dialog places them and the help lookup finds their topics.
#pragma once

namespace pageId {
inline constexpr int mainDialog = 102;
inline constexpr int softwareAndParameters = 135;
inline constexpr int runTests = 187;
inline constexpr int operations = 188;
inline constexpr int processes = 189;
inline constexpr int motors = 190;
inline constexpr int cleanAndCalibrate = 191;
inline constexpr int build = 192;
inline constexpr int printerLogs = 195;
}  // namespace pageId
