#include "machine/qt/stringTable.h"

#include <map>
#include <mutex>

namespace {

struct stringTable_t {
    std::mutex lock;
    std::map<unsigned, std::wstring> texts{
        {103, L"Windows sockets initialization failed."},
    };
};

stringTable_t& table()
{
    static stringTable_t instance;
    return instance;
}

}  // namespace

std::wstring loadString(unsigned id)
{
    stringTable_t& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    const auto it = t.texts.find(id);
    return it == t.texts.end() ? std::wstring() : it->second;
}

void addStringResource(unsigned id, const std::wstring& text)
{
    stringTable_t& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.texts[id] = text;
}
