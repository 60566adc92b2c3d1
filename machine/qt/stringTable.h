// The programs' string resources, by id: a built-in table (the texts the
// library and programs load by number) to which a program can add its own.
#pragma once
#include <string>

// The text of the string resource; empty when there is none.
std::wstring loadString(unsigned id);
// Adds or replaces one string resource.
void addStringResource(unsigned id, const std::wstring& text);
