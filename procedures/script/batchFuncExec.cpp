#include "procedures/script/batchFuncExec.h"

#include "platform/crtRand.h"
#include "procedures/script/batchNumbers.h"
#include "procedures/script/batchRegistry.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchStringTable.h"
#include "procedures/script/resultLogTable.h"

#include <iostream>
#include <stdexcept>
#include <typeinfo>

namespace {

const char* const traceMessageName = "tracemsg";

// The text a tracemsg call shows: its string literal, or the decimal value of
// anything else (a number is never taken for a place in memory).
std::string traceMessageText(const batchFuncExec_t& call)
{
    if (call.argumentCount() == 0)
        return std::string();
    if (auto text = call.argumentText(0))
        return *text;
    return batchSignedText(call.argument(0));
}

}  // namespace

vcTabT<batchFuncExec_t>* batchFuncExec_t::entry() const
{
    // The object's own type name, looked up as a call's name would be: a
    // built-in is found by its class name, a plain call object not at all.
    return findEntry(batchTypeName(typeid(*this)).c_str());
}

const char* batchFuncExec_t::name() const
{
    auto* e = entry();
    return e == nullptr ? nullptr : e->scriptName;
}

std::uint32_t* batchFuncExec_t::entryWord1() const
{
    auto* e = entry();
    return e == nullptr ? nullptr : &e->word1;
}

std::uint32_t* batchFuncExec_t::entryWord2() const
{
    auto* e = entry();
    return e == nullptr ? nullptr : &e->word2;
}

std::int32_t batchFuncExec_t::argument(int index) const
{
    if (index < 0 || index >= argumentCount_ || arguments_ == nullptr)
        return 0;
    return arguments_[index];
}

std::optional<std::string> batchFuncExec_t::argumentText(int index) const
{
    if (index < 0 || index >= argumentCount_ || arguments_ == nullptr)
        return std::nullopt;
    return batchStringTable_t::text(arguments_[index]);
}

void batchFuncExec_t::setArguments(int count, const std::int32_t* values)
{
    argumentCount_ = count;
    arguments_ = values;
}

std::int32_t batchFuncExec_t::exec()
{
    std::cout << callName_ << " (";
    if (callName_ == traceMessageName) {
        std::cout << '"' << traceMessageText(*this) << '"' << std::flush;
    } else {
        for (int i = 0; i < argumentCount_; ++i) {
            if (i > 0)
                std::cout << " , ";
            std::cout << batchSignedText(arguments_[i]);
        }
    }
    std::cout << " )" << std::endl;
    if (argumentCount_ == 0)
        return crtRand() % 30000;
    if (argumentCount_ == 1)
        return arguments_[0];
    return 0;
}

std::string batchFuncExec_t::traceCall(std::int32_t value) const
{
    if (batchRunState_t::stopRequested.load()) {
        closeResultLogs();
        throw std::runtime_error("BATCH execution INTERRUPTED");
    }
    std::string text;
    if (callName_ == traceMessageName) {
        text = traceMessageText(*this);
    } else {
        text = callName_ + " (";
        for (int i = 0; i < argumentCount_; ++i) {
            if (i > 0)
                text += " , ";
            text += batchSignedText(arguments_[i]);
        }
        text += " )  returns : " + batchSignedText(value) + "\n";
    }
    if (batchRunState_t::traceStream != nullptr)
        *batchRunState_t::traceStream << text << std::flush;
    return text;
}
