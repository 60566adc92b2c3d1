#include "procedures/script/batchArgExpr.h"

#include "procedures/script/batchNumbers.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/userFunc.h"

#include <stdexcept>

std::int32_t batchArgExpr_t::evaluate()
{
    auto* call = batchRunState_t::currentUserFunc;
    return call == nullptr ? 0 : call->argument(index_);
}

void batchArgExpr_t::print(std::ostream& out) const
{
    out << " arg(" << batchSignedText(index_) << ")";
}

void batchArgExpr_t::parse(batchTokenBuffer_t& tokens)
{
    tokens.next();  // the name
    batchToken_t token = tokens.next();
    if (!token.is(batchToken_t::leftParen_e)) {
        tokens.putBack();
        throw std::runtime_error("( expected");
    }
    token = tokens.next();
    if (!token.is(batchToken_t::uintNumber_e)) {
        tokens.putBack();
        if (token.isTooLargeNumber())
            throw std::runtime_error("number above 4294967295");
        throw std::runtime_error("number expected");
    }
    index_ = static_cast<int>(token.value());
    token = tokens.next();
    if (!token.is(batchToken_t::rightParen_e)) {
        tokens.putBack();
        throw std::runtime_error(") expected");
    }
}
