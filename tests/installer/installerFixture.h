// A slicer installation in a temporary prefix for the installer's tests: the
// slicer's key names its folder and the Start-menu folder "Corvanta"; the
// current folder is an empty distribution folder (C:\dist); program starts
// are recorded instead of made.
#pragma once
#include "tests/support/tempPrefix.h"

#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class installerTest : public prefixTest {
protected:
    static constexpr wchar_t slicerFolder[] = L"C:\\Program Files\\Corvanta\\Ondrel";
    static constexpr wchar_t startMenuFolder[] = L"C:\\ProgramData\\Start Menu\\Programs\\Corvanta";
    static constexpr wchar_t desktopFolder[] = L"C:\\Users\\Public\\Desktop";

    void SetUp() override;
    void TearDown() override;

    // A file of the distribution, with its mode bits.
    void distribute(const std::wstring& name, const std::string& bytes, mode_t mode = 0644);
    // A file of the installation folder (made before the run), and its bytes.
    void install(const std::wstring& name, const std::string& bytes, mode_t mode = 0755);
    std::optional<std::string> installed(const std::wstring& name) const;
    mode_t installedMode(const std::wstring& name) const;
    // The names in the installation folder, sorted.
    std::vector<std::wstring> installedNames() const;

    // Empties the distribution and installation folders (the current folder
    // stays the distribution).
    void freshFolders();

    std::vector<std::wstring> starts() const;
    std::vector<std::wstring> startsSince(std::size_t count) const;
    // Program starts are recorded (the default) or really made.
    void recordStarts(bool record);
    // The command lines of "<name> /c" and of the installed program's start.
    static std::wstring closeRequestLine(const std::wstring& driver);
    static std::wstring installedStartLine(const std::wstring& name);

private:
    mutable std::mutex startsLock_;
    std::vector<std::wstring> starts_;
};

// The path of a program built beside the tests ($QVR_BUILD_BIN, else the
// build tree's bin/), or empty.
std::string builtProgram(const std::string& fileName);
