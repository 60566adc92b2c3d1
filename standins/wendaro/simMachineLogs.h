// simMachineLogs_t: the files a printer's machines server writes into the
// machine's folder tree, where the technician program's logs page reads
// them (data root + "/" + machine ID):
// - "Daily_Logs/" + ddMonyy + ".LOG" (English month names): one line per
//   event, "hh:mm:ss text";
// - "MachineReport.log", the brief log, shared with the device's
//   parameter-change lines: short date + " " + hh:mm:ss + " -> " + text;
// - "Models_Logs/" + model + "_" + ddMonyy + "_" + hhmm + ".log", one per
//   build;
// - "Settings/EmbeddedVersion.txt", the embedded version in decimal.
// Plain ASCII with CR LF line ends, one whole line per open-append-close, so
// that a reader that re-reads on a length change never sees half a line.
// Failures lose the line and nothing else. Not locked: its owner serialises.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>

class simMachineLogs_t {
public:
    simMachineLogs_t(std::wstring dataRoot, std::uint32_t machineID);

    void setEnabled(bool on) { enabled_ = on; }
    bool enabled() const { return enabled_; }

    std::wstring machineFolder() const;
    std::wstring dailyLogPath(std::time_t when) const;
    std::wstring briefLogPath() const;
    std::wstring embeddedVersionPath() const;

    // False when logging is off or the line could not be written.
    bool appendDaily(std::time_t when, const std::wstring& text);
    bool appendBrief(std::time_t when, const std::wstring& text);
    // Creates a new model log (never overwrites one) and writes the first
    // line; its path, or empty.
    std::wstring openModelLog(std::time_t when, const std::wstring& modelName, const std::wstring& firstLine);
    bool appendModel(const std::wstring& path, const std::wstring& text);
    // Rewrites the file only when it does not already hold the version.
    bool writeEmbeddedVersion(std::uint16_t version);

    // "hh:mm:ss" of a local time.
    static std::wstring clockText(std::time_t when);

private:
    bool ensureFolders() const;
    static bool appendLine(const std::wstring& path, const std::wstring& text);

    std::wstring dataRoot_;
    std::uint32_t machineID_;
    bool enabled_ = true;
};
