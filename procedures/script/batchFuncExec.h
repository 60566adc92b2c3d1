// The callable object of the script language: built-in functions, calls of
// user functions and the default function for any other name all derive
// from batchFuncExec_t. A call site owns one such object for the life of the
// parsed script; the call node lends it the argument values for each call.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

template <class T>
class vcTabT;
class batchFuncExec_t;

template <class T>
class vcBaseT;

template <>
class vcBaseT<batchFuncExec_t> {
public:
    virtual ~vcBaseT() = default;
    // The script name of the registry entry of the object's class, or none.
    virtual const char* name() const = 0;
    virtual std::uint32_t* entryWord1() const = 0;
    virtual std::uint32_t* entryWord2() const = 0;
    virtual vcTabT<batchFuncExec_t>* entry() const = 0;
};

class batchFuncExec_t : public vcBaseT<batchFuncExec_t> {
public:
    explicit batchFuncExec_t(std::string name) : callName_(std::move(name)) {}

    const char* name() const override;
    std::uint32_t* entryWord1() const override;
    std::uint32_t* entryWord2() const override;
    vcTabT<batchFuncExec_t>* entry() const override;

    // The default function: writes the call to standard output and returns
    // a pseudo-random number below 30000 without arguments, the argument
    // with one, 0 with more. Built-ins override it.
    virtual std::int32_t exec();

    // The name the call was written with.
    const std::string& callName() const { return callName_; }
    int argumentCount() const { return argumentCount_; }
    // The value of an argument of the current call; 0 when the call has
    // fewer arguments.
    std::int32_t argument(int index) const;
    // The text of a string literal passed as that argument, or nothing.
    std::optional<std::string> argumentText(int index) const;
    // Lent by the call node for the duration of one call.
    void setArguments(int count, const std::int32_t* values);

    // The trace step after a call: raises "BATCH execution INTERRUPTED" when
    // the stop flag is set; otherwise writes the trace line to the trace log
    // and returns it.
    std::string traceCall(std::int32_t value) const;

private:
    std::string callName_;
    int argumentCount_ = 0;
    const std::int32_t* arguments_ = nullptr;
};
