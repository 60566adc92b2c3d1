// The registry of built-in script functions: one static entry per built-in
// class, linked into one list (the most recently registered entry first).
// A call is bound to an entry by its script name or by its class name; the
// entry creates the call object. The list is complete before the first
// lookup and never changes afterwards.
#pragma once
#include "procedures/script/batchFuncExec.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>

class vcCod_t {
public:
    virtual ~vcCod_t() = default;
};

class vcExtCod_t : public vcCod_t {};

template <>
class vcTabT<batchFuncExec_t> : public vcExtCod_t {
public:
    // The name scripts call the built-in by.
    const char* scriptName = nullptr;
    // Two spare words, never written.
    std::uint32_t word1 = 0;
    std::uint32_t word2 = 0;
    vcTabT* next = nullptr;
    bool registered = false;

    // The name of the class the entry creates, as the run time names it.
    virtual const char* className() const = 0;
    // A new call object named after the entry's script name: in the given
    // storage, or on the heap when there is none (none when that fails).
    virtual batchFuncExec_t* create(void* storage) const = 0;

protected:
    // Links the entry at the head of the list unless it is there already.
    void link();
};

using batchRegistryEntry_t = vcTabT<batchFuncExec_t>;

// The readable run-time name of a type ("moveXYto_t"), not the mangled one.
std::string batchTypeName(const std::type_info& type);

template <class T>
class vcMmbT : public vcTabT<batchFuncExec_t> {
public:
    // Registers T: the first call names the entry after T's type name and
    // links it; every call returns the location of the script-name field,
    // which the registration then sets to the built-in's script name.
    static const char** instance()
    {
        static vcMmbT entry;
        return &entry.scriptName;
    }

    const char* className() const override
    {
        static const std::string name = batchTypeName(typeid(T));
        return name.c_str();
    }

    batchFuncExec_t* create(void* storage) const override
    {
        std::string name = scriptName == nullptr ? std::string() : std::string(scriptName);
        if (storage != nullptr)
            return new (storage) T(name);
        return new (std::nothrow) T(name);
    }

private:
    vcMmbT()
    {
        scriptName = className();
        link();
    }
};

// The head of the registry list (the built-ins are registered on the first
// call).
batchRegistryEntry_t* batchRegistryHead();
// Fills the registry in its fixed order; called once, by batchRegistryHead.
void registerBuiltins();

// Names are equal ignoring white space that only one of them has and a
// leading "class" or "struct" keyword; case matters. False when either is
// none.
bool typeNameEquals(const char* a, const char* b);
// The text after leading white space and a following "class" or "struct"
// keyword that is itself followed by white space.
const char* skipTypeKeyword(const char* text);
// The first entry from the head whose script name, or else class name,
// equals the name; none when there is no such entry.
batchRegistryEntry_t* findEntry(const char* name);
// A new call object of the matching built-in, or none.
std::unique_ptr<batchFuncExec_t> findBuiltin(const char* name);
