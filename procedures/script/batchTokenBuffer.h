// The parser's look-ahead: three tokens read from one stream, of which the
// parser may put back up to two. It also keeps the nesting depth of the
// statement and expression being parsed, so that a hostile script ends with
// a parse error instead of exhausting the stack.
#pragma once
#include "procedures/script/batchToken.h"
#include "procedures/script/icstreambuf.h"

#include <istream>

class batchTokenBuffer_t {
public:
    // Statements plus conditional expressions nested inside each other. Far
    // beyond any real script; a parenthesis level takes about 2 KiB of stack
    // (10 KiB under AddressSanitizer), so the limit is reached the same way
    // in every build of the program, well before the stack margin.
    static constexpr int maxNesting = 500;

    batchTokenBuffer_t();
    batchTokenBuffer_t(const batchTokenBuffer_t&) = delete;
    batchTokenBuffer_t& operator=(const batchTokenBuffer_t&) = delete;

    // The buffer every run of the program parses through; created at its
    // first use, it lives until the program ends.
    static batchTokenBuffer_t& shared();

    // Reads from the stream from now on; line counting restarts at 0.
    void attach(std::istream* in);
    void detach() { attach(nullptr); }
    void reset();

    // The next token; the reference holds until the next call of next().
    const batchToken_t& next()
    {
        if (index_ < 2)
            return slot(++index_);
        return readNext();
    }
    // The parser puts back at most two tokens in a row.
    void putBack()
    {
        if (index_ > 0)
            --index_;
    }
    // The next token, put back at once.
    const batchToken_t& peek()
    {
        const batchToken_t& token = next();
        putBack();
        return token;
    }

    // Raises "nesting too deep" when the depth limit or the stack margin is
    // reached; nothing has been taken yet, so the next token is the place of
    // the error.
    void enterNesting();
    void leaveNesting() { --nesting_; }
    int nesting() const { return nesting_; }

private:
    batchToken_t& slot(int index)
    {
        int at = first_ + index;
        return slots_[at >= 3 ? at - 3 : at];
    }
    const batchToken_t& readNext();

    std::istream* in_ = nullptr;
    icstreambuf_t<char>* script_ = nullptr;  // in_'s buffer when it is the script stream buffer
    batchToken_t::lines_t lines_;
    // A ring: slot(0) is the oldest token, slot(2) the newest. A new token is
    // read into the oldest slot in place, so its text keeps its storage.
    batchToken_t slots_[3];
    int first_ = 0;
    int index_ = 2;
    int nesting_ = 0;
};

// Holds one level of nesting for the scope of a parse step.
class batchNestingGuard_t {
public:
    explicit batchNestingGuard_t(batchTokenBuffer_t& tokens) : tokens_(tokens) { tokens_.enterNesting(); }
    ~batchNestingGuard_t() { tokens_.leaveNesting(); }
    batchNestingGuard_t(const batchNestingGuard_t&) = delete;
    batchNestingGuard_t& operator=(const batchNestingGuard_t&) = delete;

private:
    batchTokenBuffer_t& tokens_;
};
