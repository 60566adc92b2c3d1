#include "procedures/script/batchExpr.h"

#include "procedures/script/batchArgExpr.h"
#include "procedures/script/batchFuncExpr.h"
#include "procedures/script/batchMemExpr.h"
#include "procedures/script/batchNumbers.h"
#include "procedures/script/batchStringTable.h"
#include "procedures/script/batchTokenBuffer.h"

#include <iostream>
#include <stdexcept>

namespace {

std::int32_t wrap(std::uint32_t value) { return static_cast<std::int32_t>(value); }
std::uint32_t bits(std::int32_t value) { return static_cast<std::uint32_t>(value); }

[[noreturn]] void notComputed(const char* what, const batchToken_t& op)
{
    throw std::logic_error(std::string(what) + " should NOT be called: token : \"" + op.printed() + "\"");
}

}  // namespace

std::int32_t batchExprBase_t::evaluate()
{
    std::cerr << std::endl << "should NOT be called" << std::endl;
    return 0;
}

void batchExprBase_t::print(std::ostream&) const {}

void batchExprBase_t::parse(batchTokenBuffer_t&) {}

batchExprPtr_t parseCollapsed(batchTokenBuffer_t& tokens, batchExprPtr_t node)
{
    node->parse(tokens);
    while (auto child = node->collapse())
        node = std::move(child);
    return node;
}

batchExprPtr_t parseExpression(batchTokenBuffer_t& tokens)
{
    return batchExpr_t::parseCollapsedNode(tokens);
}

std::int32_t compute(const batchToken_t& op, std::int32_t value)
{
    switch (op.type()) {
    case batchToken_t::plus_e:
        return value;
    case batchToken_t::minus_e:
        return wrap(0u - bits(value));
    case batchToken_t::not_e:
        return value == 0 ? 1 : 0;
    case batchToken_t::tilda_e:
        return wrap(~bits(value));
    default:
        notComputed("compute(int)", op);
    }
}

std::int32_t compute(const batchToken_t& op, std::int32_t left, std::int32_t right)
{
    switch (op.type()) {
    case batchToken_t::plus_e:
        return wrap(bits(left) + bits(right));
    case batchToken_t::minus_e:
        return wrap(bits(left) - bits(right));
    case batchToken_t::mult_e:
        return wrap(bits(left) * bits(right));
    case batchToken_t::div_e:
    case batchToken_t::mod_e:
        // The processor traps on both; a script must not end the program.
        if (right == 0)
            throw std::runtime_error("division by zero");
        if (right == -1)
            return op.type() == batchToken_t::div_e ? wrap(0u - bits(left)) : 0;
        return op.type() == batchToken_t::div_e ? left / right : left % right;
    case batchToken_t::less_e:
        return left < right ? 1 : 0;
    case batchToken_t::lessEqu_e:
        return left <= right ? 1 : 0;
    case batchToken_t::greater_e:
        return left > right ? 1 : 0;
    case batchToken_t::greaterEqu_e:
        return left >= right ? 1 : 0;
    case batchToken_t::equal_e:
        return left == right ? 1 : 0;
    case batchToken_t::notEqual_e:
        return left != right ? 1 : 0;
    case batchToken_t::and_e:
        return left != 0 && right != 0 ? 1 : 0;
    case batchToken_t::or_e:
        return left != 0 || right != 0 ? 1 : 0;
    default:
        notComputed("compute(int,int)", op);
    }
}

namespace {

// The levels from 10 up to N, each taking what the level below made as its
// first operand.
template <int N>
batchExprPtr_t climb(batchTokenBuffer_t& tokens, batchExprPtr_t operand)
{
    if constexpr (N < 10)
        return operand;
    else
        return batchSeq_t<N>::parseCollapsedAfter(tokens, climb<N - 1>(tokens, std::move(operand)));
}

// A whole level N expression, collapsed. Climbing from the bottom takes the
// same tokens and makes the same tree as descending through the levels: an
// operand is read once and each level from 10 up takes it as its first
// operand, making its node only when one of its operators follows. Most
// operands are followed by none of them at all.
template <int N>
batchExprPtr_t parseThrough(batchTokenBuffer_t& tokens)
{
    auto operand = batchUnaryExpr_t::parseCollapsedNode(tokens);
    if constexpr (N >= 10) {
        constexpr int levelBits = (1 << (N + 1)) - (1 << 10);
        if (tokens.peek().hasKind(levelBits))
            return climb<N>(tokens, std::move(operand));
    }
    return operand;
}

}  // namespace

// ---- conditional

std::int32_t batchExpr_t::evaluate()
{
    std::int32_t condition = condition_->evaluate();
    if (!thenPart_)
        return condition;
    return condition != 0 ? thenPart_->evaluate() : elsePart_->evaluate();
}

void batchExpr_t::print(std::ostream& out) const
{
    if (condition_)
        condition_->print(out);
    if (thenPart_) {
        out << " ? ";
        thenPart_->print(out);
        out << " : ";
        elsePart_->print(out);
    }
}

void batchExpr_t::parse(batchTokenBuffer_t& tokens)
{
    batchNestingGuard_t nesting(tokens);
    thenPart_.reset();
    elsePart_.reset();
    condition_ = parseThrough<15>(tokens);
    if (tokens.next().is(batchToken_t::questionMark_e))
        parseChoice(tokens);
    else
        tokens.putBack();
}

batchExprPtr_t batchExpr_t::parseCollapsedNode(batchTokenBuffer_t& tokens)
{
    batchNestingGuard_t nesting(tokens);
    auto condition = parseThrough<15>(tokens);
    if (!tokens.next().is(batchToken_t::questionMark_e)) {
        tokens.putBack();
        return condition;
    }
    auto node = std::make_unique<batchExpr_t>();
    node->condition_ = std::move(condition);
    node->parseChoice(tokens);
    return node;
}

void batchExpr_t::parseChoice(batchTokenBuffer_t& tokens)
{
    thenPart_ = parseThrough<15>(tokens);
    if (!tokens.next().is(batchToken_t::colon_e)) {
        tokens.putBack();
        throw std::runtime_error(": expected");
    }
    elsePart_ = parseCollapsedNode(tokens);
}

batchExprPtr_t batchExpr_t::collapse()
{
    if (thenPart_)
        return nullptr;
    return std::move(condition_);
}

// ---- precedence levels

template <int N>
std::int32_t batchSeq_t<N>::evaluate()
{
    // Every operand is evaluated, && and || included: calls have effects.
    std::int32_t result = items_.front().second->evaluate();
    for (std::size_t i = 1; i < items_.size(); ++i) {
        std::int32_t operand = items_[i].second->evaluate();
        result = compute(items_[i].first, result, operand);
    }
    return result;
}

template <int N>
void batchSeq_t<N>::print(std::ostream& out) const
{
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (i > 0)
            items_[i].first.print(out);
        items_[i].second->print(out);
    }
}

template <int N>
void batchSeq_t<N>::parse(batchTokenBuffer_t& tokens)
{
    items_.clear();
    items_.emplace_back(batchToken_t(), parseThrough<N - 1>(tokens));
    parseOperators(tokens);
}

template <int N>
batchExprPtr_t batchSeq_t<N>::parseCollapsedAfter(batchTokenBuffer_t& tokens, batchExprPtr_t first)
{
    if (!tokens.peek().hasKind(1 << N))
        return first;
    auto node = std::make_unique<batchSeq_t<N>>();
    node->items_.reserve(2);
    node->items_.emplace_back(batchToken_t(), std::move(first));
    node->parseOperators(tokens);
    return node;
}

template <int N>
void batchSeq_t<N>::parseOperators(batchTokenBuffer_t& tokens)
{
    for (;;) {
        const batchToken_t& token = tokens.next();
        if (!token.hasKind(1 << N)) {
            tokens.putBack();
            return;
        }
        batchToken_t op = token;  // the operand's parse reuses the slot
        auto operand = parseThrough<N - 1>(tokens);
        items_.emplace_back(std::move(op), std::move(operand));
    }
}

template <int N>
batchExprPtr_t batchSeq_t<N>::collapse()
{
    if (items_.size() != 1)
        return nullptr;
    return std::move(items_.front().second);
}

template class batchSeq_t<10>;
template class batchSeq_t<11>;
template class batchSeq_t<12>;
template class batchSeq_t<13>;
template class batchSeq_t<14>;
template class batchSeq_t<15>;

// ---- unary

std::int32_t batchUnaryExpr_t::evaluate()
{
    std::int32_t value = operand_->evaluate();
    return hasOperator_ ? compute(op_, value) : value;
}

void batchUnaryExpr_t::print(std::ostream& out) const
{
    if (hasOperator_)
        op_.print(out);
    if (operand_)
        operand_->print(out);
}

void batchUnaryExpr_t::parse(batchTokenBuffer_t& tokens)
{
    const batchToken_t& token = tokens.next();
    hasOperator_ = token.hasKind(batchToken_t::punctUnaryOp_e);
    if (hasOperator_)
        op_ = token;
    else
        tokens.putBack();
    operand_ = batchPrimaryExpr_t::parseCollapsedNode(tokens);
}

batchExprPtr_t batchUnaryExpr_t::parseCollapsedNode(batchTokenBuffer_t& tokens)
{
    const batchToken_t& token = tokens.next();
    if (!token.hasKind(batchToken_t::punctUnaryOp_e)) {
        tokens.putBack();
        return batchPrimaryExpr_t::parseCollapsedNode(tokens);
    }
    auto node = std::make_unique<batchUnaryExpr_t>();
    node->op_ = token;
    node->hasOperator_ = true;
    node->operand_ = batchPrimaryExpr_t::parseCollapsedNode(tokens);
    return node;
}

batchExprPtr_t batchUnaryExpr_t::collapse()
{
    if (hasOperator_)
        return nullptr;
    return std::move(operand_);
}

// ---- primary

std::int32_t batchPrimaryExpr_t::evaluate()
{
    return child_->evaluate();
}

void batchPrimaryExpr_t::print(std::ostream& out) const
{
    if (!child_)
        return;
    if (child_->printsBare()) {
        child_->print(out);
        return;
    }
    out << "(";
    child_->print(out);
    out << ")";
}

void batchPrimaryExpr_t::parse(batchTokenBuffer_t& tokens)
{
    child_ = parseCollapsedNode(tokens);
}

batchExprPtr_t batchPrimaryExpr_t::parseCollapsedNode(batchTokenBuffer_t& tokens)
{
    const batchToken_t& token = tokens.next();
    batchExprPtr_t child;
    if (token.is(batchToken_t::uintNumber_e)) {
        tokens.putBack();
        child = std::make_unique<batchNumberExpr_t>();
    } else if (token.is(batchToken_t::string_e)) {
        tokens.putBack();
        child = std::make_unique<batchStringExpr_t>();
    } else if (token.is(batchToken_t::leftParen_e)) {
        child = parseExpression(tokens);
        if (!tokens.next().is(batchToken_t::rightParen_e)) {
            tokens.putBack();
            throw std::runtime_error(") expected");
        }
        return child;
    } else if (token.isIdentifier()) {
        tokens.putBack();
        if (token.text() == "arg")
            child = std::make_unique<batchArgExpr_t>();
        else if (token.text() == "memory")
            child = std::make_unique<batchMemExpr_t>();
        else
            child = std::make_unique<batchFuncExpr_t>();
    } else {
        tokens.putBack();
        if (token.isTooLargeNumber())
            throw std::runtime_error("number above 4294967295");
        throw std::runtime_error("int-number or (expression) or function expected");
    }
    child->parse(tokens);
    return child;
}

batchExprPtr_t batchPrimaryExpr_t::collapse()
{
    return std::move(child_);
}

// ---- number and string

void batchNumberExpr_t::print(std::ostream& out) const
{
    out << batchSignedText(value_);
}

void batchNumberExpr_t::parse(batchTokenBuffer_t& tokens)
{
    value_ = static_cast<std::int32_t>(tokens.next().value());
}

batchStringExpr_t::~batchStringExpr_t()
{
    if (handle_ != 0)
        batchStringTable_t::remove(handle_);
}

void batchStringExpr_t::print(std::ostream& out) const
{
    out << text_;
}

void batchStringExpr_t::parse(batchTokenBuffer_t& tokens)
{
    text_ = tokens.next().text();
    if (handle_ != 0)
        batchStringTable_t::remove(handle_);
    handle_ = batchStringTable_t::add(text_);
}
