#include "procedures/script/batchFuncExpr.h"

#include "procedures/script/batchRegistry.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchStackGuard.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/resultLogTable.h"
#include "procedures/script/userFunc.h"
#include "procedures/script/userFuncDefnList.h"

#include <stdexcept>

void batchFuncExpr_t::parse(batchTokenBuffer_t& tokens)
{
    arguments_.clear();
    function_.reset();
    const batchToken_t& name = tokens.next();  // used before the next token is taken
    line_ = name.line();
    if (const auto* definitions = batchRunState_t::bindingDefinitions) {
        if (auto* definition = definitions->find(name.text()))
            function_ = std::make_unique<userFuncExec_t>(name.text(), definition->body());
    }
    if (!function_ && batchRunState_t::bindBuiltins)
        function_ = findBuiltin(name.text().c_str());
    if (!function_)
        function_ = std::make_unique<batchFuncExec_t>(name.text());

    if (!tokens.next().is(batchToken_t::leftParen_e)) {
        tokens.putBack();
        throw std::runtime_error("( expected");
    }
    for (;;) {
        if (tokens.next().is(batchToken_t::rightParen_e))
            return;
        tokens.putBack();
        arguments_.push_back(parseExpression(tokens));
        // Commas between arguments are optional.
        if (!tokens.next().is(batchToken_t::comma_e))
            tokens.putBack();
    }
}

std::int32_t batchFuncExpr_t::evaluate()
{
    batchStackGuard_t::check();
    batchRunState_t::checkStopFlag();
    bool reportAfter = false;
    if (batchRunState_t::stopTest)
        reportAfter = batchRunState_t::stopTest(line_, function_->callName().c_str());

    std::vector<std::int32_t> values;
    values.reserve(arguments_.size());
    for (auto& argument : arguments_)
        values.push_back(argument->evaluate());

    // The values are lent for this call only, also when it ends by an error
    // or a break.
    struct lend_t {
        batchFuncExec_t& function;
        ~lend_t() { function.setArguments(0, nullptr); }
    } lend{*function_};
    function_->setArguments(static_cast<int>(values.size()), values.data());

    std::int32_t value = function_->exec();
    // A call that failed returns what the device held before it: the value
    // of a command the link lost, or a reading taken after the machine
    // stopped. It is no measurement, so it reaches no result log: the trace
    // step ends the run when the call asked for a stop (closing the logs),
    // and the stop test after the call tells whether the machine was still
    // fit when the call returned.
    std::string trace = function_->traceCall(value);
    const bool fit = !reportAfter || batchRunState_t::stopTest(line_, trace.c_str());
    if (fit)
        resultLogAfterCall(value);
    return value;
}

void batchFuncExpr_t::print(std::ostream& out) const
{
    out << function_->callName() << " (";
    for (std::size_t i = 0; i < arguments_.size(); ++i) {
        if (i > 0)
            out << " , ";
        arguments_[i]->print(out);
    }
    out << " )";
}
