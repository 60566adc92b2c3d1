#include "procedures/script/batchStmt.h"

#include "procedures/script/batchNumbers.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchStackGuard.h"
#include "procedures/script/batchTokenBuffer.h"

namespace {

void execStatement(const batchStmtPtr_t& statement)
{
    if (statement)
        statement->exec();
}

void printStatement(std::ostream& out, const batchStmtPtr_t& statement)
{
    if (statement)
        statement->print(out);
}

}  // namespace

batchStmtPtr_t parseStatement(batchTokenBuffer_t& tokens)
{
    batchNestingGuard_t nesting(tokens);
    const batchToken_t& token = tokens.next();
    if (token.isEnd())
        return nullptr;
    batchStmtPtr_t statement;
    switch (token.type()) {
    case batchToken_t::leftBrace_e:
        statement = std::make_unique<batchCompoundStmt_t>();
        break;
    case batchToken_t::semicolon_e:
        statement = std::make_unique<batchNopStmt_t>();
        break;
    case batchToken_t::loop_e:
        tokens.putBack();
        statement = std::make_unique<batchLoopStmt_t>();
        break;
    case batchToken_t::while_e:
        tokens.putBack();
        statement = std::make_unique<batchWhileStmt_t>();
        break;
    case batchToken_t::break_e:
        statement = std::make_unique<batchBreakStmt_t>();
        break;
    case batchToken_t::if_e:
        statement = std::make_unique<batchIfElseStmt_t>();
        break;
    default:
        tokens.putBack();
        statement = std::make_unique<batchExprStmt_t>();
        break;
    }
    statement->parse(tokens);
    return statement;
}

// ---- empty and expression statements

void batchNopStmt_t::print(std::ostream& out) const
{
    out << ";";
}

void batchExprStmt_t::exec()
{
    batchRunState_t::lastValue = expression_->evaluate();
}

void batchExprStmt_t::print(std::ostream& out) const
{
    out << std::endl;
    expression_->print(out);
}

void batchExprStmt_t::parse(batchTokenBuffer_t& tokens)
{
    expression_ = parseExpression(tokens);
}

// ---- loop

void batchLoopStmt_t::parse(batchTokenBuffer_t& tokens)
{
    line_ = tokens.next().line();  // the keyword, taken back for its line
    countExpression_ = parseExpression(tokens);
    count_ = countExpression_->evaluate();
    body_ = parseStatement(tokens);
}

void batchLoopStmt_t::exec()
{
    // A negative count would take thousands of millions of rounds to reach
    // by counting up: it runs nothing.
    for (std::int32_t i = 0; i < count_; ++i) {
        batchRunState_t::checkStopInLoop(line_, "loop");
        try {
            execStatement(body_);
        } catch (const batchBreak_t&) {
            return;
        }
    }
}

void batchLoopStmt_t::print(std::ostream& out) const
{
    out << std::endl << "loop ";
    countExpression_->print(out);
    out << " // (=" << batchUnsignedText(static_cast<std::uint32_t>(count_)) << ") " << std::endl;
    printStatement(out, body_);
}

// ---- while

void batchWhileStmt_t::parse(batchTokenBuffer_t& tokens)
{
    line_ = tokens.next().line();
    condition_ = parseExpression(tokens);
    body_ = parseStatement(tokens);
}

void batchWhileStmt_t::exec()
{
    for (;;) {
        batchRunState_t::checkStopInLoop(line_, "while");
        if (condition_->evaluate() == 0)
            return;
        try {
            execStatement(body_);
        } catch (const batchBreak_t&) {
            return;
        }
    }
}

void batchWhileStmt_t::print(std::ostream& out) const
{
    out << std::endl << "while ";
    condition_->print(out);
    out << std::endl;
    printStatement(out, body_);
}

// ---- if

void batchIfElseStmt_t::parse(batchTokenBuffer_t& tokens)
{
    condition_ = parseExpression(tokens);
    then_ = parseStatement(tokens);
    hasElse_ = tokens.next().is(batchToken_t::else_e);
    if (hasElse_)
        else_ = parseStatement(tokens);
    else
        tokens.putBack();
}

void batchIfElseStmt_t::exec()
{
    if (condition_->evaluate() != 0)
        execStatement(then_);
    else if (hasElse_)
        execStatement(else_);
}

void batchIfElseStmt_t::print(std::ostream& out) const
{
    out << std::endl << "if ";
    condition_->print(out);
    out << std::endl;
    printStatement(out, then_);
    if (hasElse_) {
        out << std::endl << "else ";
        condition_->print(out);
        out << std::endl;
        printStatement(out, else_);
    }
}

// ---- compound

void batchCompoundStmt_t::parse(batchTokenBuffer_t& tokens)
{
    statements_.clear();
    for (;;) {
        const batchToken_t& token = tokens.next();
        if (token.isEnd() || token.is(batchToken_t::rightBrace_e))
            return;  // the end of the input ends the block too
        tokens.putBack();
        if (auto statement = parseStatement(tokens))
            statements_.push_back(std::move(statement));
    }
}

void batchCompoundStmt_t::exec()
{
    batchStackGuard_t::check();
    for (auto& statement : statements_)
        statement->exec();
}

void batchCompoundStmt_t::print(std::ostream& out) const
{
    out << std::endl << "{" << std::endl;
    for (const auto& statement : statements_)
        statement->print(out);
    out << std::endl << "}" << std::endl;
}

// ---- break

void batchBreakStmt_t::exec()
{
    throw batchBreak_t{};
}

void batchBreakStmt_t::print(std::ostream& out) const
{
    out << std::endl << "break";
}
