// One token of the technician script language: its type, the grammar classes
// it belongs to (kind bits, by which the parser picks operators), its text or
// value, and its place in the file.
#pragma once
#include "procedures/script/noVptrCheck.h"

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

template <class E>
class icstreambuf_t;

class batchToken_t {
public:
    enum type_t : int {
        unknown_e = 0,
        string_e = 1,
        plus_e = 2,
        minus_e = 3,
        not_e = 4,
        tilda_e = 5,
        less_e = 6,
        lessEqu_e = 7,
        greater_e = 8,
        greaterEqu_e = 9,
        equal_e = 10,
        notEqual_e = 11,
        mult_e = 12,
        div_e = 13,
        mod_e = 14,
        and_e = 15,
        or_e = 16,
        questionMark_e = 17,
        colon_e = 18,
        semicolon_e = 19,
        comma_e = 20,
        leftBrace_e = 21,
        rightBrace_e = 22,
        leftParen_e = 23,
        rightParen_e = 24,
        loop_e = 25,
        if_e = 26,
        else_e = 27,
        while_e = 28,
        break_e = 29,
        uintNumber_e = 30,
    };
    enum kind_t : int {
        keyword_e = 0x1,          // every identifier, keywords included
        batch_keyword_e = 0x2,    // identifiers that are keywords
        uint_e = 0x4,             // numbers
        punct__e = 0x8,           // every punctuation token
        punct1_e = 0x10,
        punct2_e = 0x20,
        punctUnaryOp_e = 0x40,    // ! ~ + -
        punctBinaryOp_e = 0x80,
        punctTrinaryOp_e = 0x100, // ? :
        punctComma_e = 0x200,
        punctMulOp_e = 0x400,
        punctAddOp_e = 0x800,
        punctRelOp_e = 0x1000,
        punctEquOp_e = 0x2000,
        punctLogAnd_e = 0x4000,
        punctLogOr_e = 0x8000,
    };

    // The tokenizer's line counting, shared by the tokens of one stream.
    struct lines_t {
        int line = 0;        // line feeds skipped since the stream was attached
        int lineStart = 0;   // stream position after the last of them
    };

    batchToken_t() = default;
    // A default token at the tokenizer's current line.
    explicit batchToken_t(const lines_t& lines) : line_(lines.line), lineStart_(lines.lineStart) {}

    // Fills the token with the next token of the stream. At the end of the
    // input the token has kind 0 and type 0. A number too large for 32 bits
    // has kind 0 and type 0 as well but is no end: the parser finds no rule
    // for it and reports a parse error at its place.
    QVR_NO_VPTR_CHECK void read(std::istream& in, lines_t& lines);
    // The same when the caller knows the stream's buffer: the script stream
    // buffer (read in runs, without a call per character), or null for any
    // other.
    QVR_NO_VPTR_CHECK void read(std::istream& in, lines_t& lines, icstreambuf_t<char>* script);
    // The token's text: a string literal without quotes, the punctuation, an
    // identifier, a number in unsigned decimal, the digits of a number too
    // large; "@ BAD TOKEN @" otherwise.
    void print(std::ostream& out) const;
    std::string printed() const;

    int kind() const { return kind_; }
    int type() const { return type_; }
    bool is(type_t type) const { return type_ == type; }
    bool hasKind(int bits) const { return (kind_ & bits) != 0; }
    bool isEnd() const { return kind_ == 0 && type_ == 0 && !tooLarge_; }
    bool isTooLargeNumber() const { return tooLarge_; }
    bool isIdentifier() const { return hasKind(keyword_e); }
    // Identifier and string text, or the punctuation characters.
    const std::string& text() const { return text_; }
    std::uint32_t value() const { return value_; }
    int line() const { return line_; }
    int lineStart() const { return lineStart_; }
    int position() const { return position_; }

    // Keyword type of an identifier text, or unknown_e.
    static type_t keywordType(const std::string& text);

private:
    struct source_t;
    // Each goes on from its first character, already taken.
    QVR_NO_VPTR_CHECK void readNumber(source_t& in, int first);
    QVR_NO_VPTR_CHECK void readIdentifier(source_t& in, int first);
    QVR_NO_VPTR_CHECK void readPunctuation(source_t& in, int first);
    QVR_NO_VPTR_CHECK void readStringText(source_t& in);

    int kind_ = 0;
    int type_ = 0;
    std::string text_;
    std::uint32_t value_ = 0;
    bool tooLarge_ = false;
    int line_ = 0;
    int lineStart_ = 0;
    int position_ = 0;
};
