#include "procedures/script/batchToken.h"

#include "procedures/script/batchNumbers.h"

#include <map>
#include <sstream>

namespace {

struct operatorRow_t {
    int key;
    int type;
    int kind;
};

constexpr int key1(char c) { return static_cast<signed char>(c) * 256; }
constexpr int key2(char c1, char c2) { return static_cast<signed char>(c1) * 256 + static_cast<signed char>(c2); }

// Searched in this order; the first row with the key wins.
constexpr operatorRow_t operatorTable[] = {
    {key1('!'), batchToken_t::not_e, 0x40},
    {key1('~'), batchToken_t::tilda_e, 0x40},
    {key1('+'), batchToken_t::plus_e, 0x8c0},
    {key1('-'), batchToken_t::minus_e, 0x8c0},
    {key1('<'), batchToken_t::less_e, 0x1080},
    {key2('<', '='), batchToken_t::lessEqu_e, 0x1080},
    {key1('>'), batchToken_t::greater_e, 0x1080},
    {key2('>', '='), batchToken_t::greaterEqu_e, 0x1080},
    {key2('=', '='), batchToken_t::equal_e, 0x2080},
    {key2('!', '='), batchToken_t::notEqual_e, 0x2080},
    {key1('*'), batchToken_t::mult_e, 0x480},
    {key1('/'), batchToken_t::div_e, 0x480},
    {key1('%'), batchToken_t::mod_e, 0x480},
    {key2('&', '&'), batchToken_t::and_e, 0x4080},
    {key2('|', '|'), batchToken_t::or_e, 0x8080},
    {key1('?'), batchToken_t::questionMark_e, 0x100},
    {key1(':'), batchToken_t::colon_e, 0x100},
    {key1(';'), batchToken_t::semicolon_e, 0},
    {key1(','), batchToken_t::comma_e, 0x200},
    {key1('{'), batchToken_t::leftBrace_e, 0},
    {key1('}'), batchToken_t::rightBrace_e, 0},
    {key1('('), batchToken_t::leftParen_e, 0},
    {key1(')'), batchToken_t::rightParen_e, 0},
    {key1('"'), batchToken_t::string_e, 0},
};

// The six two-character operators, read as pairs.
constexpr char twoCharOperators[] = "<=>===!=&&||";

bool isTwoCharOperator(int c1, int c2)
{
    for (int i = 0; i + 1 < static_cast<int>(sizeof twoCharOperators) - 1; i += 2)
        if (twoCharOperators[i] == c1 && twoCharOperators[i + 1] == c2)
            return true;
    return false;
}

bool isWhite(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

batchToken_t::type_t batchToken_t::keywordType(const std::string& text)
{
    // Built at the first lookup; lives for the rest of the program.
    static const std::map<std::string, type_t> keywords = {
        {"loop", loop_e}, {"if", if_e}, {"else", else_e}, {"while", while_e}, {"break", break_e},
    };
    auto found = keywords.find(text);
    return found == keywords.end() ? unknown_e : found->second;
}

void batchToken_t::read(std::istream& in, lines_t& lines)
{
    kind_ = 0;
    type_ = 0;
    text_.clear();
    value_ = 0;
    tooLarge_ = false;
    int c;
    for (;;) {
        c = in.get();
        if (c == std::char_traits<char>::eof())
            break;
        if (c == '\n') {
            ++lines.line;
            lines.lineStart = static_cast<int>(in.tellg());
            continue;
        }
        if (!isWhite(c))
            break;
    }
    line_ = lines.line;
    lineStart_ = lines.lineStart;
    position_ = static_cast<int>(in.tellg()) - 1;
    if (!in.good())
        return;  // the end-of-input token
    in.putback(static_cast<char>(c));
    if (isDigit(c))
        readNumber(in);
    else if (isLetter(c))
        readIdentifier(in);
    else
        readPunctuation(in);
}

void batchToken_t::readNumber(std::istream& in)
{
    std::uint64_t value = 0;
    bool tooLarge = false;
    while (isDigit(in.peek())) {
        const int digit = in.get();
        text_.push_back(static_cast<char>(digit));
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
        if (value > 0xFFFFFFFFull) {
            tooLarge = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (tooLarge) {
        // Taken as the end of the input, it would end the script quietly and
        // the run would report success; as a token that no rule accepts it
        // stops the parse at its own place.
        tooLarge_ = true;
        return;
    }
    text_.clear();
    kind_ = uint_e;
    type_ = uintNumber_e;
    value_ = static_cast<std::uint32_t>(value);
}

void batchToken_t::readIdentifier(std::istream& in)
{
    text_.push_back(static_cast<char>(in.get()));
    for (;;) {
        int c = in.peek();
        if (!(isLetter(c) || isDigit(c) || c == '_'))
            break;
        text_.push_back(static_cast<char>(in.get()));
    }
    kind_ = keyword_e;
    type_ = keywordType(text_);
    if (type_ != unknown_e)
        kind_ |= batch_keyword_e;
}

void batchToken_t::readPunctuation(std::istream& in)
{
    int c1 = in.get();
    int c2 = 0;
    kind_ = punct__e;
    int following = in.peek();
    if (following != std::char_traits<char>::eof() && isTwoCharOperator(c1, following)) {
        c2 = in.get();
        kind_ |= punct2_e;
    } else {
        kind_ |= punct1_e;
    }
    text_.push_back(static_cast<char>(c1));
    if (c2 != 0)
        text_.push_back(static_cast<char>(c2));
    int key = static_cast<signed char>(c1) * 256 + static_cast<signed char>(c2);
    for (const auto& row : operatorTable) {
        if (row.key == key) {
            kind_ |= row.kind;
            type_ = row.type;
            break;
        }
    }
    if (type_ == string_e)
        readStringText(in);
}

void batchToken_t::readStringText(std::istream& in)
{
    text_.clear();
    for (;;) {
        int c = in.get();
        if (c == std::char_traits<char>::eof() || c == '"')
            return;  // the end of the input also ends a literal
        if (c == '\\') {
            c = in.get();
            if (c == std::char_traits<char>::eof())
                return;
            if (c == 'n')
                c = '\n';
        }
        text_.push_back(static_cast<char>(c));
    }
}

void batchToken_t::print(std::ostream& out) const
{
    if (type_ == string_e || hasKind(punct__e) || hasKind(keyword_e) || tooLarge_) {
        // Punctuation text ends at a zero byte, as a C text does.
        out << text_.c_str();
    } else if (hasKind(uint_e)) {
        out << batchUnsignedText(value_);
    } else {
        out << "@ BAD TOKEN @";
    }
}

std::string batchToken_t::printed() const
{
    std::ostringstream out;
    print(out);
    return out.str();
}
