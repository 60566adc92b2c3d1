// wendaroNotice_t: something the server tells a client without being asked,
// carried on the client's next reply (the server never sends a message of
// its own accord: the client reads again only after it has sent).
//
// Chained notices ride in front of a reply's answer, each at most once and in
// the client's fixed order (the order of kind_e below); one out of that order
// would not be recognised. The other kinds end a message themselves; the
// server sends them only in place of the answer to a status poll, which the
// next poll replaces at no cost, and "GETLOGFILENAMES" even then alone.
//
// A live notice takes its values when the reply is built (the queue-change
// count, the file and model information, the time estimate, the error record,
// the parameter memory, the machine name, the version text); the others
// carry their own.
#pragma once
#include "machine/errorHistory.h"
#include "machine/fileInfo.h"
#include "machine/machineHostIDname.h"
#include "machine/qvrHostModelInfo.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class wendaroMessage_t;

class wendaroNotice_t {
public:
    enum class kind_e {
        // Chained, in the order the client tests them.
        errorLog_e,         // "ERRORLOGINFO" + errorHistory_t
        reopened_e,         // "HASREOPENEDRESP"
        queueChanged_e,     // "HASQUEUECHANGEDRESP" + uint32 change count
        machineName_e,      // "SENDMACHINENAME" + text
        embeddedVersion_e,  // "SENDEMBEDDEDVERSIONSTRING" + text, text
        parameterMemory_e,  // "SENDNVM" + 4096 raw bytes
        newLog_e,           // "HASNEWLOGRESP"
        fileSender_e,       // "HASNEWFILESENDER" + fileInfo_t
        modelInfo_e,        // "HASNEWMODELINFO" + qvrHostModelInfo_t
        timeEstimate_e,     // "HASNEWTIMEEST" + uint32, uint32
        pausingUser_e,      // "PAUSEMACHINEUSER" + text
        modelEnded_e,       // "MODELHASENDED"
        // Ending a message: only in place of a status poll's answer.
        logFileNames_e,     // "GETLOGFILENAMES" + text, text (alone)
        slicerOk_e,         // "SLICERSERVEROK" + text
        slicerError_e,      // "SLICERSERVERERROR" + text
        slicerStatus_e,     // "SLICERSERVERSTATUS" + text
        disconnect_e,       // "DISCONNECT" + machineHostIDname_t (or no object)
    };
    static constexpr int chainedCount = 12;
    static constexpr std::size_t memoryBytes = 4096;

    kind_e kind = kind_e::newLog_e;
    bool live = false;
    std::wstring text1;
    std::wstring text2;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    errorHistory_t errorRecord;
    fileInfo_t fileInfo;
    qvrHostModelInfo_t modelInfo;
    std::optional<machineHostIDname_t> machine;
    std::vector<std::uint8_t> memory;

    bool isChained() const { return static_cast<int>(kind) < chainedCount; }
    // Recognised by the client only as the first word of a message.
    bool standsAlone() const { return kind == kind_e::logFileNames_e; }
    // Position in the client's chain order (chained kinds only).
    int chainIndex() const { return static_cast<int>(kind); }
    const wchar_t* word() const;
    // Appends the word and its fields.
    void writeTo(wendaroMessage_t& message) const;

    static wendaroNotice_t liveOf(kind_e kind);
    static wendaroNotice_t of(kind_e kind) { return liveOf(kind).fixed(); }
    static wendaroNotice_t text(kind_e kind, std::wstring first, std::wstring second = std::wstring());
    static wendaroNotice_t numbers(kind_e kind, std::uint32_t first, std::uint32_t second = 0);
    static wendaroNotice_t error(const errorHistory_t& record);
    static wendaroNotice_t file(const fileInfo_t& info);
    static wendaroNotice_t model(const qvrHostModelInfo_t& info);
    static wendaroNotice_t disconnect(std::optional<machineHostIDname_t> machine);
    static wendaroNotice_t parameters(std::vector<std::uint8_t> memory);

    // The machine's embedded version as the software page shows it:
    // 1120 gives "E1.12.0".
    static std::wstring versionText(std::uint16_t version);

private:
    wendaroNotice_t fixed() const
    {
        wendaroNotice_t copy = *this;
        copy.live = false;
        return copy;
    }
};
