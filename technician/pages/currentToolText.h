// The text of the tool in the head, from the logical tool byte of the
// machine information (offset 35, signed).
#pragma once
#include <string>

std::wstring currentToolText(int tool);
