#include "procedures/script/batchStringTable.h"

#include <mutex>
#include <unordered_map>

namespace {

// Handles start far from the small numbers scripts use, so that a number
// given where a text is expected rarely meets a live handle.
constexpr std::uint32_t firstHandle = 0x51000000u;

struct table_t {
    std::mutex lock;
    std::unordered_map<std::int32_t, std::string> texts;
    std::uint32_t nextHandle = firstHandle;
};

table_t& table()
{
    static table_t instance;
    return instance;
}

}  // namespace

std::int32_t batchStringTable_t::add(const std::string& text)
{
    auto& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    std::int32_t handle;
    do {
        handle = static_cast<std::int32_t>(t.nextHandle++);
        if (t.nextHandle == 0)
            t.nextHandle = firstHandle;
    } while (handle == 0 || t.texts.count(handle) != 0);
    t.texts.emplace(handle, text);
    return handle;
}

void batchStringTable_t::remove(std::int32_t handle)
{
    auto& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.texts.erase(handle);
}

std::optional<std::string> batchStringTable_t::text(std::int32_t handle)
{
    auto& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto found = t.texts.find(handle);
    if (found == t.texts.end())
        return std::nullopt;
    return found->second;
}

std::size_t batchStringTable_t::size()
{
    auto& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.texts.size();
}
