// The parameter memory and its descriptors.
//
// The printer keeps its settings in a 4096-byte store; we mirror it as 1024
// signed 32-bit words (word i at byte 4 i, little-endian on the machine).
// Every parameter occupies one word and is described by one machineParam_t,
// a static object that registers itself by word index in one process-wide
// table. The table and the default record are ready before any dynamic
// initialisation runs (the table is zero-initialised, the default record is
// constant-initialised), so descriptors of any translation unit may be built
// in any order.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

// Layout of a parameter memory (the device's memories, the default record
// and every image handed to the file reader and writer).
namespace paramLayout {
inline constexpr int words = 1024;
inline constexpr int bytes = 4096;
// Words 0-127 hold one parameter each (word 0 is the machine number).
inline constexpr int parameterWords = 128;
// 12 tool records of 10 bytes from byte 512 (words 128-157).
inline constexpr int toolTableWord = 128;
inline constexpr int toolTableByte = 512;
inline constexpr int toolCount = 12;
inline constexpr int toolRecordBytes = 10;
inline constexpr int toolTableBytes = toolCount * toolRecordBytes;
// The packed glue table from byte 640: 1024 bytes in the compact form
// (embedded version 1120 and above), 2048 bytes in the full form.
inline constexpr int glueTableWord = 160;
inline constexpr int glueTableByte = 640;
inline constexpr int compactGlueBytes = 1024;
inline constexpr int fullGlueBytes = 2048;
// From embedded version 1120 on, the machine's factory values mirror words
// 0-383 from word 384 on.
inline constexpr int factoryBlockWord = 384;
inline constexpr int factoryToolTableWord = factoryBlockWord + toolTableWord; // 512
inline constexpr int factoryGlueTableWord = factoryBlockWord + glueTableWord; // 544
// Words an image that starts at the factory block can hold.
inline constexpr int factoryBlockWords = words - factoryBlockWord; // 640
// 128 bits, one per parameter index: bit (i mod 32) of word 764 + i / 32.
inline constexpr int openedBitmapWord = 764;
inline constexpr int openedBitmapWords = 4;
// The embedded version from which the factory block and the compact glue
// form exist.
inline constexpr int factoryBlockVersion = 1120;
} // namespace paramLayout

using parameterMemory_t = std::array<std::int32_t, paramLayout::words>;

class machineParam_t {
public:
    // byteOffset is rounded down to its word. Registers this object in the
    // descriptor table (the last one built for an index wins; all objects
    // for one index carry the same text).
    machineParam_t(int byteOffset, const wchar_t* text);
    machineParam_t(const machineParam_t&) = delete;
    machineParam_t& operator=(const machineParam_t&) = delete;

    int index() const { return index_; }
    // The default record's word at the index, taken at construction.
    std::int32_t defaultValue() const { return defaultValue_; }
    // Name, description and unit separated by ';'.
    const wchar_t* text() const { return text_; }
    // The text up to the first ';' (all of it when there is none).
    std::wstring name() const;
    // The whole text equals the given text exactly.
    bool isDefinition(const std::wstring& text) const;
    // The text as a parameters file holds it, in the code page: a file's
    // line is this parameter's definition when it equals it. Empty when the
    // text has a character outside the code page, which no line can match.
    const std::string& fileText() const { return fileText_; }

private:
    int index_;
    std::int32_t defaultValue_;
    const wchar_t* text_;
    std::string fileText_;
};

// The descriptor registered at the index; null when there is none or the
// index lies outside 0-1023.
const machineParam_t* parameterAt(int index);
// The highest index registered so far (127 once the table is built).
int highestParameterIndex();
// The descriptor at the index when its name equals the name; otherwise the
// first descriptor from index 1 to the highest whose name equals it; else
// null. Index 0 ("Machine ID") is found only by its own index.
const machineParam_t* findParameter(int index, const std::wstring& name);

// The descriptor from index 1 up whose file text is the line (a parameters
// file's line in the code page); the lowest such index; else null.
const machineParam_t* findDefinition(const std::string& line);

// The built-in default record: parameter defaults, default tool and glue
// tables, and the factory block.
const parameterMemory_t& getDefaultParameterTable();
// 0 for an index below 0 or above the highest registered index, else the
// default record's word.
std::int32_t defaultParameterValue(int index);
// A length of a model plus the defaults of "Feed more (with glue)" and
// "Model Offset Y" (nanometres; 64-bit so that no length wraps).
std::int64_t mediaLengthForModel(std::int64_t length);
