#include "procedures/script/batchToken.h"

#include "procedures/script/batchNumbers.h"
#include "procedures/script/icstreambuf.h"

#include <cstring>
#include <iterator>
#include <string_view>
#include <typeinfo>

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

// The search of the table and of the pairs, done once by the compiler: for
// each first character, the one second character that may follow it, the
// row of the one-character key and the row of the two-character key.
struct operatorIndex_t {
    static constexpr unsigned char none = 0xFF;
    unsigned char second[256] = {};
    unsigned char single[256] = {};
    unsigned char pair[256] = {};
};

constexpr unsigned char rowOf(int key)
{
    for (std::size_t row = 0; row < std::size(operatorTable); ++row)
        if (operatorTable[row].key == key)
            return static_cast<unsigned char>(row);
    return operatorIndex_t::none;
}

constexpr operatorIndex_t buildOperatorIndex()
{
    operatorIndex_t index;
    for (int c = 0; c < 256; ++c) {
        const char c1 = static_cast<char>(c);
        for (std::size_t i = 0; i + 1 < sizeof twoCharOperators - 1; i += 2)
            if (twoCharOperators[i] == c1)
                index.second[c] = static_cast<unsigned char>(twoCharOperators[i + 1]);
        index.single[c] = rowOf(key1(c1));
        index.pair[c] = index.second[c] == 0 ? operatorIndex_t::none
                                             : rowOf(key2(c1, static_cast<char>(index.second[c])));
    }
    return index;
}

constexpr operatorIndex_t operatorIndex = buildOperatorIndex();

// Character classes by table, for a character 0..255 or the end of input
// (-1): one look-up where a chain of comparisons would cost a branch each.
enum : unsigned char { white_c = 1, digit_c = 2, letter_c = 4, nameTail_c = 8 };

struct charClasses_t {
    unsigned char of[257] = {};
    constexpr charClasses_t()
    {
        for (char c : {' ', '\t', '\n', '\v', '\f', '\r'})
            of[c + 1] |= white_c;
        for (int c = '0'; c <= '9'; ++c)
            of[c + 1] |= digit_c | nameTail_c;
        for (int c = 'A'; c <= 'Z'; ++c)
            of[c + 1] |= letter_c | nameTail_c;
        for (int c = 'a'; c <= 'z'; ++c)
            of[c + 1] |= letter_c | nameTail_c;
        of['_' + 1] |= nameTail_c;
    }
};
constexpr charClasses_t charClasses;

// The white characters that do not end a line and the digits, as sets for
// strspn over the script buffer's characters (which end with a zero byte):
// a run is measured without a test per character in this code.
constexpr char blankSet[] = " \t\v\f\r";
constexpr char digitSet[] = "0123456789";

// The characters of a name after its first are too many for a fast strspn;
// the zero byte after the buffer's characters is not one of them, so a run
// of them is measured with one look-up per character and no bounds test.
struct nameTail_t {
    bool is[256] = {};
    constexpr nameTail_t()
    {
        for (int c = 0; c < 256; ++c)
            is[c] = (charClasses.of[c + 1] & nameTail_c) != 0;
    }
};
constexpr nameTail_t nameTail;

std::size_t nameTailRun(const char* text)
{
    const char* end = text;
    while (nameTail.is[static_cast<unsigned char>(*end)])
        ++end;
    return static_cast<std::size_t>(end - text);
}

std::size_t digitRun(const char* text) { return std::strspn(text, digitSet); }

bool inClass(int c, unsigned char classes) { return (charClasses.of[c + 1] & classes) != 0; }
bool isWhite(int c) { return inClass(c, white_c); }
bool isDigit(int c) { return inClass(c, digit_c); }
bool isLetter(int c) { return inClass(c, letter_c); }

}  // namespace

batchToken_t::type_t batchToken_t::keywordType(const std::string& text)
{
    switch (text.size()) {
    case 2:
        return text == "if" ? if_e : unknown_e;
    case 4:
        return text == "loop" ? loop_e : text == "else" ? else_e : unknown_e;
    case 5:
        return text == "while" ? while_e : text == "break" ? break_e : unknown_e;
    default:
        return unknown_e;
    }
}

// The stream operations the tokenizer uses, taken from the stream's buffer
// directly: a character then costs no sentry and, from a buffer that holds
// a block, no call. The stream's state bits change as get and peek
// would change them.
struct batchToken_t::source_t {
    std::istream& in;
    std::streambuf& buffer;
    // The script stream buffer, when it is one: its position costs no
    // virtual call.
    icstreambuf_t<char>* script;

    // Takes the characters that measure() counts at the start of a
    // zero-ended text, handing each run to use(), as far as the script
    // buffer holds them; the caller goes on character by character from the
    // first one refused (or the end). From another buffer nothing is taken
    // here.
    template <class Use>
    QVR_NO_VPTR_CHECK void takeRun(std::size_t (*measure)(const char*), Use use)
    {
        if (script == nullptr)
            return;
        for (;;) {
            const std::string_view run = script->available();
            const std::size_t count = measure(run.data());
            if (count > 0) {
                use(run.data(), static_cast<int>(count));
                script->advance(static_cast<int>(count));
            }
            if (count < run.size() || run.empty())
                return;
        }
    }

    static bool isEof(int c) { return c == std::char_traits<char>::eof(); }
    QVR_NO_VPTR_CHECK int get()
    {
        int c = buffer.sbumpc();
        if (isEof(c))
            in.setstate(std::ios_base::eofbit | std::ios_base::failbit);
        return c;
    }
    QVR_NO_VPTR_CHECK int peek()
    {
        int c = buffer.sgetc();
        if (isEof(c))
            in.setstate(std::ios_base::eofbit);
        return c;
    }
    // The stream position (tellg): -1 once the stream failed.
    QVR_NO_VPTR_CHECK int position()
    {
        if (in.fail())
            return -1;
        if (script != nullptr)
            return static_cast<int>(script->position());
        return static_cast<int>(static_cast<std::streamoff>(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in)));
    }
};

void batchToken_t::read(std::istream& in, lines_t& lines)
{
    std::streambuf* buffer = in.rdbuf();
    read(in, lines,
         buffer != nullptr && typeid(*buffer) == typeid(icstreambuf_t<char>) ? static_cast<icstreambuf_t<char>*>(buffer)
                                                                             : nullptr);
}

void batchToken_t::read(std::istream& in, lines_t& lines, icstreambuf_t<char>* script)
{
    kind_ = 0;
    type_ = 0;
    text_.clear();
    value_ = 0;
    tooLarge_ = false;
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr || !in.good()) {
        // A stream that has ended or failed gives no character.
        in.setstate(std::ios_base::failbit);
        line_ = lines.line;
        lineStart_ = lines.lineStart;
        position_ = -2;
        return;
    }
    source_t source{in, *buffer, script};
    int c;
    bool ended = false;
    if (script != nullptr) {
        // The blanks and line feeds before the token, straight from the
        // characters the script buffer holds: the loop below does the same
        // a character at a time.
        for (;;) {
            const std::string_view run = script->available();
            if (run.empty()) {
                in.setstate(std::ios_base::eofbit | std::ios_base::failbit);
                c = std::char_traits<char>::eof();
                ended = true;
                break;
            }
            const std::size_t blanks = std::strspn(run.data(), blankSet);
            if (blanks == run.size()) {
                script->advance(static_cast<int>(blanks));
                continue;
            }
            c = static_cast<unsigned char>(run[blanks]);
            script->advance(static_cast<int>(blanks) + 1);
            if (c != '\n')
                break;
            ++lines.line;
            lines.lineStart = static_cast<int>(script->position());
        }
    } else {
        for (;;) {
            c = source.get();
            if (source.isEof(c))
                break;
            if (c == '\n') {
                ++lines.line;
                lines.lineStart = source.position();
                continue;
            }
            if (!isWhite(c))
                break;
        }
    }
    line_ = lines.line;
    lineStart_ = lines.lineStart;
    if (script != nullptr) {
        // The stream was good when the token began; only the end of the
        // input has changed that since.
        position_ = ended ? -2 : static_cast<int>(script->position()) - 1;
        if (ended)
            return;  // the end-of-input token
    } else {
        position_ = source.position() - 1;
        if (!in.good())
            return;  // the end-of-input token
    }
    // The first character is not put back to be taken again: each kind of
    // token goes on from it.
    if (isDigit(c))
        readNumber(source, c);
    else if (isLetter(c))
        readIdentifier(source, c);
    else
        readPunctuation(source, c);
}

void batchToken_t::readNumber(source_t& in, int first)
{
    std::uint64_t value = static_cast<std::uint64_t>(first - '0');
    bool tooLarge = false;
    text_.push_back(static_cast<char>(first));
    in.takeRun(digitRun, [&](const char* digits, int count) {
        text_.append(digits, static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            value = value * 10 + static_cast<std::uint64_t>(digits[i] - '0');
            if (value > 0xFFFFFFFFull) {
                tooLarge = true;
                value = 0xFFFFFFFFull;
            }
        }
    });
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

void batchToken_t::readIdentifier(source_t& in, int first)
{
    text_.push_back(static_cast<char>(first));
    in.takeRun(nameTailRun,
               [this](const char* name, int count) { text_.append(name, static_cast<std::size_t>(count)); });
    for (;;) {
        int c = in.peek();
        if (!inClass(c, nameTail_c))
            break;
        text_.push_back(static_cast<char>(in.get()));
    }
    kind_ = keyword_e;
    type_ = keywordType(text_);
    if (type_ != unknown_e)
        kind_ |= batch_keyword_e;
}

void batchToken_t::readPunctuation(source_t& in, int first)
{
    const int c1 = first & 0xFF;
    kind_ = punct__e;
    const int following = in.peek();
    const int second = operatorIndex.second[c1];
    unsigned char row = operatorIndex.single[c1];
    text_.push_back(static_cast<char>(c1));
    if (second != 0 && following == second) {
        text_.push_back(static_cast<char>(in.get()));
        kind_ |= punct2_e;
        row = operatorIndex.pair[c1];
    } else {
        kind_ |= punct1_e;
    }
    if (row != operatorIndex_t::none) {
        kind_ |= operatorTable[row].kind;
        type_ = operatorTable[row].type;
    }
    if (type_ == string_e)
        readStringText(in);
}

void batchToken_t::readStringText(source_t& in)
{
    text_.clear();
    for (;;) {
        // The text up to the next quote or backslash, found by memchr in the
        // characters the script buffer holds (takeRun with the same test
        // would look at each of them).
        while (in.script != nullptr) {
            const std::string_view run = in.script->available();
            if (run.empty())
                break;
            const char* data = run.data();
            const void* quote = std::memchr(data, '"', run.size());
            const std::size_t upToQuote =
                quote == nullptr ? run.size() : static_cast<std::size_t>(static_cast<const char*>(quote) - data);
            const void* backslash = std::memchr(data, '\\', upToQuote);
            const std::size_t plain =
                backslash == nullptr ? upToQuote : static_cast<std::size_t>(static_cast<const char*>(backslash) - data);
            if (plain > 0) {
                text_.append(data, plain);
                in.script->advance(static_cast<int>(plain));
            }
            if (plain < run.size())
                break;
        }
        int c = in.get();
        if (source_t::isEof(c) || c == '"')
            return;  // the end of the input also ends a literal
        if (c == '\\') {
            c = in.get();
            if (source_t::isEof(c))
                return;
            if (c == 'n')
                c = '\n';
        }
        text_.push_back(static_cast<char>(c));
    }
}

void batchToken_t::print(std::ostream& out) const
{
    out << printed();
}

std::string batchToken_t::printed() const
{
    if (type_ == string_e || hasKind(punct__e) || hasKind(keyword_e) || tooLarge_)
        return text_.c_str();  // punctuation text ends at a zero byte, as a C text does
    if (hasKind(uint_e))
        return batchUnsignedText(value_);
    return "@ BAD TOKEN @";
}
