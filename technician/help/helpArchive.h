// The help file: one file, as the installer copies it, holding the HTML
// topics as an uncompressed tar archive. Topic names are matched
// case-insensitively, with either separator ("Operations\motors.htm").
#pragma once
#include <QByteArray>
#include <map>
#include <optional>
#include <string>

class helpArchive_t {
public:
    // Reads the whole archive; false (and an empty archive) when the file
    // is missing or is not a readable archive.
    bool load(const std::wstring& systemPath);
    bool loadBytes(const QByteArray& bytes);

    bool isEmpty() const { return members_.empty(); }
    std::size_t count() const { return members_.size(); }
    // The member's bytes, or nothing.
    std::optional<QByteArray> member(const std::wstring& name) const;
    // The key a topic name is found by: lower case, '/' separators, no
    // leading "./" or "/".
    static std::string normalName(const std::wstring& name);

private:
    std::map<std::string, QByteArray> members_;
};
