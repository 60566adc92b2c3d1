// Where printed documents go, from platform.conf's [printer] section:
// name= a printer (every document goes there; when it cannot be reached
// printing fails silently), or pdffolder= a folder (a system path) that
// receives one PDF file per document. A new prefix names a folder of its
// drive C, so that nothing reaches a real printer by accident and what was
// printed can be looked at; a section without either key means that folder
// too.
#pragma once
#include <ctime>
#include <optional>
#include <string>

inline constexpr const wchar_t* defaultPdfFolder = L"C:\\Printed";

struct printerSetting_t {
    std::wstring printerName;  // not empty: print on this printer
    std::wstring pdfFolder;    // used when printerName is empty
};

printerSetting_t printerSetting();

// The file name a document gets in the PDF folder: the document's name
// (characters a Windows file name cannot hold become '_'), a blank and the
// local time "yyyy-mm-dd hhmmss", then ".pdf"; copy > 1 adds " (copy)".
std::wstring pdfFileName(const std::wstring& documentName, std::time_t when, int copy);
// Creates the folder when missing and, in it, a new empty file named by
// pdfFileName with the first copy number not yet taken (two documents in
// the same second, or two processes, never share a file). The Linux path
// of that file, or nothing when the folder cannot be made or written.
std::optional<std::string> reservePdfFile(const std::wstring& folder, const std::wstring& documentName,
                                          std::time_t when);
// The same name, creating the folder but not the file: what a print dialog
// may offer before the document starts. The name is reserved only then,
// and may by then have gone to another document.
std::optional<std::string> freePdfFile(const std::wstring& folder, const std::wstring& documentName,
                                       std::time_t when);
