#include "procedures/script/batchMemExpr.h"

#include "procedures/script/batchRunState.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/userFunc.h"

#include <stdexcept>

std::int32_t* batchMemExpr_t::cell(std::int32_t index)
{
    if (index >= -batchRunState_t::cellCount && index <= -1)
        return &batchRunState_t::globalCells[-index - 1];
    if (index < 0 || index >= batchRunState_t::cellCount)
        return nullptr;
    if (auto* call = batchRunState_t::currentUserFunc)
        return call->localCell(index);
    return &batchRunState_t::globalCells[index];
}

std::int32_t batchMemExpr_t::evaluate()
{
    std::int32_t index = index_->evaluate();
    std::int32_t result = 0;
    if (value_) {
        result = value_->evaluate();
        if (auto* selected = cell(index))
            *selected = result;
    } else if (auto* selected = cell(index)) {
        result = *selected;
    }
    batchRunState_t::lastValue = result;
    return result;
}

void batchMemExpr_t::print(std::ostream& out) const
{
    out << " memory(";
    index_->print(out);
    if (value_) {
        out << " , ";
        value_->print(out);
    }
    out << ")";
}

void batchMemExpr_t::parse(batchTokenBuffer_t& tokens)
{
    tokens.next();  // the name
    if (!tokens.next().is(batchToken_t::leftParen_e)) {
        tokens.putBack();
        throw std::runtime_error("( expected");
    }
    index_ = parseExpression(tokens);
    const batchToken_t* token = &tokens.next();
    if (token->is(batchToken_t::comma_e)) {
        value_ = parseExpression(tokens);
        token = &tokens.next();
    }
    if (!token->is(batchToken_t::rightParen_e)) {
        tokens.putBack();
        throw std::runtime_error(") expected");
    }
}
