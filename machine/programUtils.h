// Command lines and program starts.
#pragma once
#include <string>

// Splits a command line into its program and the rest. A line that starts
// with '"' has the program up to the next '"' and the arguments after it
// (normally with their leading blank); otherwise the program ends at the
// first blank, which is dropped. An empty line gives empty arguments and
// leaves *program untouched.
std::wstring splitCommandLine(const std::wstring& commandLine, std::wstring* program);
// The command line runProgram starts: the program in double quotes (unless
// empty or quoted already), then a blank and the arguments when there are any.
std::wstring buildCommandLine(const std::wstring& program, const std::wstring& arguments);
// Starts the program and does not wait for it; true when the process was
// created (a program that fails at once counts as started). A command line
// longer than 519 characters is not started. Without showWindow the
// program's standard input, output and error are a new ".TMP" file in the
// temporary folder, deleted again once the program has started.
bool runProgram(const std::wstring& program, const std::wstring& arguments, bool showWindow);
