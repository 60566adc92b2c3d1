// The parameters file: the text form of one parameter memory (parameters,
// tool table, glue profiles, optional comment lines). Narrow text in the
// system code page, CR LF line ends, "µ" as the byte 0xB5.
//
// How the device uses this module. The device owns the memories and the
// lock; this module only turns a memory image into a file and back and
// takes no lock. qvrCommDev_t::writeParametersFile and readParametersFile
// hold the device lock for the whole call and pass:
//   - the image: the caller's memory, or the device's current memory when the
//     caller gave none (std::span over its 1024 words); for the factory block
//     the image starting at word 384 (paramLayout::factoryBlockWords words);
//   - the machine number of the status record (writer);
//   - compactGlue = isEmbeddedVersionAtLeast1120(), decided once per call;
//   - the glue-profile list: the device's own list when it reads into its
//     own memory, else null (the profiles then only land in the image);
//   - the comment text, or null (reader).
// The writer's result reports a failed write (the old file is then kept
// intact); the device's own saves may ignore it, the page shows it.
// The reader's text is the error text of the file format; a file that is
// empty, truncated (its last line has no line end), binary or larger than
// parametersFileLimit, and a file with more than 25 parameters missing, is
// refused: then nothing is changed (image, list, comment) and the text ends
// in "This is not a parameters file.".
#pragma once
#include "machine/glueProfile.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <vector>

// A real file is about 17 KB.
inline constexpr std::size_t parametersFileLimit = 1024 * 1024;

// Error texts.
inline constexpr wchar_t cannotOpenFileText[] = L"Cannot open file";
inline constexpr wchar_t tooManyMissingText[] =
    L"Too many parameters are missings. This is not a parameters file.";
inline constexpr wchar_t toolInfosMissingText[] = L" tool info's are missing";
inline constexpr wchar_t glueProfilesMissingText[] = L"Glue profiles are missing";
inline constexpr wchar_t notParametersFileText[] = L"This is not a parameters file.";

// The file's text with LF line ends (the text mode makes them CR LF).
std::string parametersFileText(std::span<const std::int32_t> image, std::uint32_t machineNumber,
                               bool compactGlue, const std::wstring& comment);
// Writes the file beside the target and renames it over it; false when the
// file could not be written (the old one is then untouched).
bool writeParametersFile(const std::wstring& path, std::span<const std::int32_t> image,
                         std::uint32_t machineNumber, bool compactGlue, const std::wstring& comment);

// Reads a parameters file into the image. "Cannot open file" when it cannot
// be opened; otherwise the error text of the parse, empty when everything
// was found. *applied (when given) tells whether the file's values were
// stored; the comment lines are appended to *comment, and the glue profiles
// read replace *profiles, only then.
std::wstring readParametersFile(const std::wstring& path, std::span<std::int32_t> image, bool compactGlue,
                                std::vector<glueProfile_t>* profiles, std::wstring* comment,
                                bool* applied = nullptr);

// The reading of a file that is to replace the machine's parameters: the
// image changes only when what the file holds reads cleanly (see
// parametersFileCheck.h), and never the glue list or a comment; the
// parameters it does not hold (a file of another version) keep the image's
// values, and the text is then empty. Otherwise the image is untouched and
// the text says why: the refusals above (more than 25 parameters missing
// included), or the file's first fault as "Line N: ...". A damaged value
// early in the file, which leaves too many parameters unread, is a fault
// with its line too.
std::wstring readWholeParametersFile(const std::wstring& path, std::span<std::int32_t> image, bool compactGlue);

// The same over the file's text as the text mode reads it (CR LF as LF),
// with the same refusals; what readParametersFile does after the read.
std::wstring readParametersText(const std::string& text, std::span<std::int32_t> image, bool compactGlue,
                                std::vector<glueProfile_t>* profiles, std::wstring* comment,
                                bool* applied = nullptr);

// The parse of a file's text (LF line ends) into the image, exactly by the
// format's rules: found values are stored whatever is missing. The refusals
// of readParametersFile are made around it.
struct parseOutcome_t {
    std::wstring errorText;
    bool tooManyMissing = false;
    // The glue section was met (its profiles then replaced *profiles).
    bool glueSectionSeen = false;
    // The reading ended at a parameter's value that does not read: the
    // parameters after it count as missing.
    bool stoppedAtValue = false;
};
parseOutcome_t parseParameters(std::istream& in, std::span<std::int32_t> image, bool compactGlue,
                               std::vector<glueProfile_t>* profiles, std::wstring* comment);
