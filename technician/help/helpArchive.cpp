#include "technician/help/helpArchive.h"

#include "platform/paths.h"

#include <QFile>
#include <QString>
#include <cstdint>

namespace {

constexpr int blockSize = 512;

// A NUL- or length-terminated field of a header.
std::string field(const char* data, int length)
{
    int end = 0;
    while (end < length && data[end] != '\0')
        ++end;
    return std::string(data, static_cast<std::size_t>(end));
}

// An octal number field; nothing when it holds something else.
std::optional<std::int64_t> octal(const char* data, int length)
{
    std::int64_t value = 0;
    bool any = false;
    for (int i = 0; i < length; ++i) {
        const char c = data[i];
        if (c == '\0' || c == ' ') {
            if (any)
                break;
            continue;
        }
        if (c < '0' || c > '7')
            return std::nullopt;
        any = true;
        value = value * 8 + (c - '0');
        if (value > (std::int64_t{1} << 40))
            return std::nullopt;
    }
    return value;
}

// The "path" record of a pax extended header ("<len> path=<name>\n").
std::string paxPath(const QByteArray& records)
{
    int position = 0;
    while (position < records.size()) {
        const int space = records.indexOf(' ', position);
        if (space < 0)
            break;
        bool ok = false;
        const int length = records.mid(position, space - position).toInt(&ok);
        if (!ok || length <= 0 || position + length > records.size())
            break;
        const QByteArray record = records.mid(space + 1, position + length - space - 2);
        if (record.startsWith("path="))
            return record.mid(5).toStdString();
        position += length;
    }
    return {};
}

}  // namespace

std::string helpArchive_t::normalName(const std::wstring& name)
{
    QString text = QString::fromStdWString(name).toLower();
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (text.startsWith(QLatin1String("./")))
        text.remove(0, 2);
    while (text.startsWith(QLatin1Char('/')))
        text.remove(0, 1);
    return text.toStdString();
}

bool helpArchive_t::load(const std::wstring& systemPath)
{
    members_.clear();
    const std::optional<std::string> path = resolvePath(systemPath);
    if (!path)
        return false;
    QFile file(QString::fromStdString(*path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return loadBytes(file.readAll());
}

bool helpArchive_t::loadBytes(const QByteArray& bytes)
{
    members_.clear();
    std::string longName;
    std::int64_t position = 0;
    const std::int64_t total = bytes.size();
    while (position + blockSize <= total) {
        const char* header = bytes.constData() + position;
        bool zero = true;
        for (int i = 0; i < blockSize && zero; ++i)
            zero = header[i] == '\0';
        if (zero)
            break;
        const std::optional<std::int64_t> size = octal(header + 124, 12);
        if (!size || position + blockSize + *size > total) {
            members_.clear();
            return false;
        }
        const QByteArray data = bytes.mid(position + blockSize, static_cast<qsizetype>(*size));
        const char type = header[156];
        std::string name = field(header, 100);
        if (field(header + 257, 5) == "ustar") {
            const std::string prefix = field(header + 345, 155);
            if (!prefix.empty())
                name = prefix + "/" + name;
        }
        if (type == 'x') {
            longName = paxPath(data);
        } else if (type == 'L') {
            longName = field(data.constData(), static_cast<int>(data.size()));
        } else {
            if (!longName.empty())
                name = longName;
            longName.clear();
            if (type == '0' || type == '\0')
                members_[normalName(QString::fromStdString(name).toStdWString())] = data;
        }
        position += blockSize + (*size + blockSize - 1) / blockSize * blockSize;
    }
    return !members_.empty();
}

std::optional<QByteArray> helpArchive_t::member(const std::wstring& name) const
{
    const auto found = members_.find(normalName(name));
    if (found == members_.end())
        return std::nullopt;
    return found->second;
}
