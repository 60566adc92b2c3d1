// Program start. The system builds Windows command lines; this layer parses
// them back into argv with the run-time library's rules (quotes group,
// backslashes are literal unless they precede a quote), resolves the program
// through the path layer (a bare name: the running program's folder, then
// the current folder, then the Windows and system folders, then PATH; ".exe"
// appended when the name has no extension), and starts it in its own session
// with posix_spawn, inheriting the current folder and the environment (with
// the command line text added, see processCommandLine). Only
// the children started here are reaped. A command line over 519 characters is
// not started. Tests can install a launcher hook that records starts instead.
#pragma once
#include <functional>
#include <string>
#include <vector>

std::vector<std::wstring> parseCommandLine(const std::wstring& commandLine);
// Quotes one argument so that parseCommandLine gives it back unchanged.
std::wstring quoteArgument(const std::wstring& argument);

// True when the process was created (the program may exit at once).
bool startProcess(const std::wstring& commandLine);
// The same, also giving the started process's id (0 when the launcher hook
// answered instead of a real start).
bool startProcess(const std::wstring& commandLine, int* processId);
// The same, with the child's standard input, output and error all on one
// file (a system path; created, or emptied when it exists). The child gets
// its own handles to it; ours is closed before this returns.
bool startProcessWithStandardFile(const std::wstring& commandLine, const std::wstring& standardFile,
                                  int* processId = nullptr);
// The Linux path of the program a command line's program text names, found
// as startProcess finds it; empty (last error set) when there is none.
std::string findProgram(const std::wstring& program);
// The launcher hook sees the command line and answers as startProcess would.
using launcherHook_t = std::function<bool(const std::wstring& commandLine)>;
void setLauncherHook(launcherHook_t hook);  // empty restores real starts

// The process's own command line. A program started by startProcess reads
// back exactly the text its parent wrote, runs of blanks, quotes and all,
// which argv cannot carry: startProcess hands the text over in the child's
// environment (commandLineVariable), after the Linux path of the program it
// started and a line break. The variable leaves the environment before
// main runs, in every program built with this file (every program of ours
// calls initProcessCommandLine first), so no program it starts by other
// means inherits it. Without it (a program started from a shell), or
// when it names another program or does not parse into this process's own
// arguments (a text written for another start), the line is rebuilt
// from argv: the program path as given in argv[0] (made absolute without
// resolving links, as a system text) in double quotes, then the arguments,
// quoted where needed. Call once from main; before that the line is empty.
inline constexpr const char* commandLineVariable = "QVR_COMMAND_LINE";
void initProcessCommandLine(int argc, char** argv);
std::wstring processCommandLine();
// The system text of the running program's path (from argv[0]).
std::wstring programPath();
