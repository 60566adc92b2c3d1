// The statements of the script language. Each parses the rest of itself
// after parseStatement has taken its first token, executes itself and prints
// itself back as text. A statement cut off by the end of the input is
// missing (null) and executes as an empty statement.
#pragma once
#include "procedures/script/batchExpr.h"
#include "procedures/script/batchNodeArena.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

class batchTokenBuffer_t;

// The break signal: unwinds to the nearest loop or while being executed,
// across user-function calls too. Not a standard exception, so that no error
// handler mistakes it for an error.
struct batchBreak_t {};

class batchStmt_t {
public:
    static void* operator new(std::size_t size) { return batchNodeArena_t::allocate(size); }
    static void operator delete(void* node) noexcept { batchNodeArena_t::release(node); }
    virtual ~batchStmt_t() = default;
    virtual void exec() {}
    virtual void print(std::ostream&) const {}
    virtual void parse(batchTokenBuffer_t& tokens) = 0;
};
using batchStmtPtr_t = std::unique_ptr<batchStmt_t>;

// The next statement, or nothing at the end of the input.
batchStmtPtr_t parseStatement(batchTokenBuffer_t& tokens);

class batchNopStmt_t : public batchStmt_t {
public:
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t&) override {}
};

class batchExprStmt_t : public batchStmt_t {
public:
    void exec() override;
    void print(std::ostream& out) const override;
    // One conditional expression; a following ; is a statement of its own.
    void parse(batchTokenBuffer_t& tokens) override;

private:
    batchExprPtr_t expression_;
};

// loop COUNT STATEMENT: the count is evaluated once, while parsing.
class batchLoopStmt_t : public batchStmt_t {
public:
    void exec() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    std::int32_t count() const { return count_; }

private:
    batchExprPtr_t countExpression_;
    std::int32_t count_ = 0;
    batchStmtPtr_t body_;
    int line_ = 0;
};

class batchWhileStmt_t : public batchStmt_t {
public:
    void exec() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;

private:
    batchExprPtr_t condition_;
    batchStmtPtr_t body_;
    int line_ = 0;
};

class batchIfElseStmt_t : public batchStmt_t {
public:
    void exec() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;

private:
    batchExprPtr_t condition_;
    batchStmtPtr_t then_;
    batchStmtPtr_t else_;
    bool hasElse_ = false;
};

class batchCompoundStmt_t : public batchStmt_t {
public:
    void exec() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    std::size_t size() const { return statements_.size(); }

private:
    std::vector<batchStmtPtr_t> statements_;
};

class batchBreakStmt_t : public batchStmt_t {
public:
    void exec() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t&) override {}
};
