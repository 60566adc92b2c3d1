#include "tests/batches/commandBytes.h"

#include <cstdio>

commandField_t i16(std::int32_t value)
{
    return commandField_t(static_cast<std::uint32_t>(value), 2);
}

commandField_t i32(std::int32_t value)
{
    return commandField_t(static_cast<std::uint32_t>(value), 4);
}

commandBytes_t cmd(std::uint8_t code, std::initializer_list<commandField_t> fields)
{
    commandBytes_t bytes{code};
    for (const commandField_t& field : fields)
        for (int i = 0; i < field.width; ++i)
            bytes.push_back(static_cast<std::uint8_t>(field.value >> (8 * i)));
    return bytes;
}

commandList_t join(std::initializer_list<commandList_t> parts)
{
    commandList_t all;
    for (const commandList_t& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

commandList_t times(int n, const commandList_t& unit)
{
    commandList_t all;
    for (int i = 0; i < n; ++i)
        all.insert(all.end(), unit.begin(), unit.end());
    return all;
}

std::string asLines(const commandList_t& commands)
{
    std::string text;
    for (const commandBytes_t& command : commands) {
        if (command.empty())
            continue;
        text += std::to_string(command[0]) + ":";
        for (std::size_t i = 1; i < command.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", command[i]);
            text += hex;
        }
        text += "\n";
    }
    return text;
}
