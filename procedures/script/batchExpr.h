// The expression tree of the script language. Every value is a signed 32-bit
// integer and arithmetic wraps. Each node parses itself from the tokens,
// evaluates itself and prints itself back as text; after parsing, a node
// that only passes one child on is replaced by that child.
#pragma once
#include "procedures/script/batchNodeArena.h"
#include "procedures/script/batchToken.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

class batchTokenBuffer_t;
class batchExprBase_t;
using batchExprPtr_t = std::unique_ptr<batchExprBase_t>;

class batchExprBase_t {
public:
    static void* operator new(std::size_t size) { return batchNodeArena_t::allocate(size); }
    static void operator delete(void* node) noexcept { batchNodeArena_t::release(node); }
    virtual ~batchExprBase_t() = default;
    // The base only reports that it should not have been called.
    virtual std::int32_t evaluate();
    virtual void print(std::ostream& out) const;
    virtual void parse(batchTokenBuffer_t& tokens);
    // Hands out the single child that may replace this node, or nothing.
    virtual batchExprPtr_t collapse() { return nullptr; }
    // A number or a call prints without parentheses inside a primary.
    virtual bool printsBare() const { return false; }
};

// Parses the node, then replaces it by the child it hands out for as long as
// it hands one out.
batchExprPtr_t parseCollapsed(batchTokenBuffer_t& tokens, batchExprPtr_t node);
// A conditional expression, collapsed: the tree parseCollapsed gives for a
// new batchExpr_t. The nodes that would only be collapsed away are never
// made (each level makes its node once an operator follows its first
// operand), which spares most of the parser's allocations.
batchExprPtr_t parseExpression(batchTokenBuffer_t& tokens);

// One operator applied to values; raises the "should NOT be called" logic
// error for an operator the language does not compute.
std::int32_t compute(const batchToken_t& op, std::int32_t value);
std::int32_t compute(const batchToken_t& op, std::int32_t left, std::int32_t right);

// condition ? then-part : else-part, or the condition alone.
class batchExpr_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    batchExprPtr_t collapse() override;
    // A new node parsed and collapsed (see parseExpression).
    static batchExprPtr_t parseCollapsedNode(batchTokenBuffer_t& tokens);

private:
    // After the ?: the then-part, the : and the else-part.
    void parseChoice(batchTokenBuffer_t& tokens);

    batchExprPtr_t condition_;
    batchExprPtr_t thenPart_;
    batchExprPtr_t elsePart_;
};

// One precedence level: operands joined by the operators whose kind bit is
// 2 to the power N, left-associative. The first pair's token is a default
// token.
template <int N>
class batchSeq_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    batchExprPtr_t collapse() override;
    // A new node parsed and collapsed (see parseExpression) when its first
    // operand has been read already: that operand alone when none of the
    // level's operators follows.
    static batchExprPtr_t parseCollapsedAfter(batchTokenBuffer_t& tokens, batchExprPtr_t first);

private:
    // Appends each operator of the level with its operand while they follow.
    void parseOperators(batchTokenBuffer_t& tokens);

    std::vector<std::pair<batchToken_t, batchExprPtr_t>> items_;
};

// At most one prefix operator ! ~ + - and its operand.
class batchUnaryExpr_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    batchExprPtr_t collapse() override;
    static batchExprPtr_t parseCollapsedNode(batchTokenBuffer_t& tokens);

private:
    batchToken_t op_;
    bool hasOperator_ = false;
    batchExprPtr_t operand_;
};

// A number, a string literal, a parenthesised expression, arg, memory or a
// call; always replaced by its child.
class batchPrimaryExpr_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    batchExprPtr_t collapse() override;
    // The child alone: a primary always collapses to it.
    static batchExprPtr_t parseCollapsedNode(batchTokenBuffer_t& tokens);

private:
    batchExprPtr_t child_;
};

class batchNumberExpr_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override { return value_; }
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    bool printsBare() const override { return true; }

private:
    std::int32_t value_ = static_cast<std::int32_t>(0x80000000u);
};

// Its value is the handle of its text for as long as the node lives.
class batchStringExpr_t : public batchExprBase_t {
public:
    ~batchStringExpr_t() override;
    std::int32_t evaluate() override { return handle_; }
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    const std::string& text() const { return text_; }

private:
    std::string text_;
    std::int32_t handle_ = 0;
};
