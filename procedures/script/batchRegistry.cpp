#include "procedures/script/batchRegistry.h"

#include <cxxabi.h>

#include <cstdlib>

namespace {

batchRegistryEntry_t* registryHead = nullptr;

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const char* skipKeyword(const char* text, const char* keyword)
{
    const char* p = text;
    while (*keyword != '\0' && *p == *keyword) {
        ++p;
        ++keyword;
    }
    if (*keyword != '\0' || !isWhite(*p))
        return text;
    while (isWhite(*p))
        ++p;
    return p;
}

}  // namespace

void vcTabT<batchFuncExec_t>::link()
{
    if (registered)
        return;
    next = registryHead;
    registryHead = this;
    registered = true;
}

std::string batchTypeName(const std::type_info& type)
{
    int status = 0;
    char* readable = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    if (status != 0 || readable == nullptr)
        return type.name();
    std::string name(readable);
    std::free(readable);
    return name;
}

batchRegistryEntry_t* batchRegistryHead()
{
    static const bool filled = (registerBuiltins(), true);
    (void)filled;
    return registryHead;
}

const char* skipTypeKeyword(const char* text)
{
    while (isWhite(*text))
        ++text;
    const char* after = skipKeyword(text, "class");
    if (after == text)
        after = skipKeyword(text, "struct");
    return after;
}

bool typeNameEquals(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr)
        return false;
    while (*a != '\0' && *b != '\0') {
        a = skipTypeKeyword(a);
        b = skipTypeKeyword(b);
        const char* start = a;
        while (*a != '\0' && *b != '\0' && *a == *b) {
            ++a;
            ++b;
        }
        if (a == start)
            break;
    }
    return *a == '\0' && *b == '\0';
}

batchRegistryEntry_t* findEntry(const char* name)
{
    for (auto* entry = batchRegistryHead(); entry != nullptr; entry = entry->next) {
        if (typeNameEquals(name, entry->scriptName) || typeNameEquals(name, entry->className()))
            return entry;
    }
    return nullptr;
}

std::unique_ptr<batchFuncExec_t> findBuiltin(const char* name)
{
    auto* entry = findEntry(name);
    if (entry == nullptr)
        return nullptr;
    return std::unique_ptr<batchFuncExec_t>(entry->create(nullptr));
}
