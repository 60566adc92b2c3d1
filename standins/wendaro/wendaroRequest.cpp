#include "standins/wendaro/wendaroRequest.h"

#include "link/inputStream.h"
#include "link/socketRequestStream.h"
#include "standins/wendaro/wendaroWords.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

enum class field_e { int32_e, text_e, double_e, fileRecord_e, textRecord_e, targetRecord_e };

struct grammar_t {
    std::wstring_view word;
    bool password;
    std::vector<field_e> fields;
};

const std::vector<grammar_t>& grammar()
{
    using namespace wendaroWords;
    using f = field_e;
    static const std::vector<grammar_t> table = {
        {controlConnect, false, {f::int32_e, f::text_e, f::double_e}},
        {normalConnect, false, {f::int32_e, f::text_e, f::double_e}},
        {errorLogInfo, false, {}},
        {fileSenderInfo, false, {}},
        {queueInfo, false, {}},
        {localSliceFile, false, {f::fileRecord_e}},
        {remoteFile, false, {f::fileRecord_e}},
        {finishFileSend, false, {}},
        {cancelBuild, true, {f::int32_e}},
        {removeFromQueue, true, {f::int32_e}},
        {moveFileInQueue, true, {f::int32_e, f::int32_e}},
        {clearQueue, true, {}},
        {pauseQueue, false, {f::int32_e}},
        {resumeQueue, false, {f::int32_e}},
        {buildPartialModel, false, {f::int32_e}},
        {moveFileToMachine, false, {f::int32_e, f::targetRecord_e}},
        {copyFileToMachine, false, {f::int32_e, f::targetRecord_e}},
        {timeEstimate, false, {f::int32_e, f::int32_e}},
        {stopSlicing, false, {}},
        {machineName, false, {f::text_e}},
        {machineLogData, false, {f::int32_e}},
        {createDumpFile, false, {f::text_e, f::text_e}},
        {closeMasterProgram, false, {}},
        {textMessage, false, {f::textRecord_e}},
    };
    return table;
}

// The rule of a known word: the table's words differ mostly in length, so
// only the few of the same length are compared.
const grammar_t* findRule(std::wstring_view word)
{
    static constexpr std::size_t longest = 32;
    using bucket_t = std::vector<const grammar_t*>;
    static const std::array<bucket_t, longest + 1> byLength = [] {
        std::array<bucket_t, longest + 1> buckets;
        for (const grammar_t& g : grammar())
            buckets[std::min(g.word.size(), longest)].push_back(&g);
        return buckets;
    }();
    // Words of the longest length and beyond share the last bucket.
    for (const grammar_t* g : byLength[std::min(word.size(), longest)]) {
        if (g->word == word)
            return g;
    }
    return nullptr;
}

// Sets the outcome of a stream that failed: cut short, or unreadable.
void failedAt(wendaroRequest_t& r, const inputStream_t& in, const char* what)
{
    if (in.failureCause() == archiveCause_e::endOfFile_e) {
        r.parse = wendaroRequest_t::parse_e::incomplete_e;
        r.problem = std::string(what) + " cut short";
    } else {
        r.parse = wendaroRequest_t::parse_e::malformed_e;
        r.problem = std::string(what) + ": " + archiveCauseText(in.failureCause());
    }
}

void readCommand(wendaroRequest_t& r, const std::uint8_t* bytes, std::size_t length, std::size_t at)
{
    if (at >= length) {
        r.parse = wendaroRequest_t::parse_e::incomplete_e;
        r.problem = "packet missing";
        return;
    }
    const std::size_t need = 1u + bytes[at];
    const std::size_t have = length - at;
    r.raw.assign(bytes + at, bytes + at + std::min(have, need));
    if (have < need) {
        r.parse = wendaroRequest_t::parse_e::incomplete_e;
        r.problem = "packet cut short";
    } else if (have > need) {
        r.parse = wendaroRequest_t::parse_e::malformed_e;
        r.trailing = have - need;
        r.problem = "packet longer than its length byte";
    } else {
        r.parse = wendaroRequest_t::parse_e::complete_e;
    }
}

void readBlock(wendaroRequest_t& r, inputStream_t& in, const std::uint8_t* bytes, std::size_t length,
               std::optional<std::uint32_t> uploadSize)
{
    std::uint32_t offset = 0;
    in >> offset;
    if (in.failed()) {
        failedAt(r, in, "block offset");
        return;
    }
    r.numbers.push_back(static_cast<std::int32_t>(offset));
    const std::size_t at = length - in.remaining();
    const std::size_t rest = length - at;
    std::size_t blockLength = rest;
    if (uploadSize && offset <= *uploadSize)
        blockLength = std::min<std::size_t>(wendaroWords::uploadBlockBytes, *uploadSize - offset);
    if (rest < blockLength) {
        r.raw.assign(bytes + at, bytes + length);
        r.parse = wendaroRequest_t::parse_e::incomplete_e;
        r.problem = "block cut short";
        return;
    }
    r.raw.assign(bytes + at, bytes + at + blockLength);
    r.trailing = rest - blockLength;
    r.parse = wendaroRequest_t::parse_e::complete_e;
}

// The target of a move or copy: a machine record; any other object is kept
// as bytes (the class is not fixed), as long as the message is whole.
void readTarget(wendaroRequest_t& r, const std::uint8_t* bytes, std::size_t length, std::size_t at)
{
    inputStream_t in(bytes + at, static_cast<std::int32_t>(length - at));
    std::unique_ptr<machineHostIDname_t> target;
    in >> target;
    if (!in.failed()) {
        if (target)
            r.machine = *target;
        r.trailing = in.remaining();
        return;
    }
    if (in.failureCause() == archiveCause_e::endOfFile_e) {
        r.parse = wendaroRequest_t::parse_e::incomplete_e;
        r.problem = "target record cut short";
        return;
    }
    r.raw.assign(bytes + at, bytes + length);
}

}  // namespace

int wendaroRequest_t::commandCode() const
{
    if (!wendaroWords::isWord(word, wendaroWords::command) || raw.size() < 2)
        return -1;
    return raw[1];
}

const std::vector<std::uint8_t>& wendaroRequest_t::passwordMark()
{
    static const std::vector<std::uint8_t> mark = [] {
        socketRequestStream_t stream(wendaroWords::password);
        return std::vector<std::uint8_t>(stream.bytes(), stream.bytes() + stream.length());
    }();
    return mark;
}

wendaroRequest_t wendaroRequest_t::read(const std::uint8_t* bytes, std::size_t length,
                                        std::optional<std::uint32_t> uploadSize)
{
    wendaroRequest_t r;
    if (bytes == nullptr || length == 0) {
        r.parse = parse_e::incomplete_e;
        r.problem = "no bytes";
        return r;
    }
    if (length > wendaroWords::maxMessageBytes) {
        r.problem = "longer than a message";
        return r;
    }
    inputStream_t in(bytes, static_cast<std::int32_t>(length));
    r.word = in.readString();
    if (in.failed()) {
        failedAt(r, in, "word");
        return r;
    }
    const std::size_t afterWord = length - in.remaining();

    if (wendaroWords::isWord(r.word, wendaroWords::command)) {
        r.known = true;
        readCommand(r, bytes, length, afterWord);
        return r;
    }
    if (wendaroWords::isWord(r.word, wendaroWords::sendFileBlock)) {
        r.known = true;
        readBlock(r, in, bytes, length, uploadSize);
        return r;
    }

    const grammar_t* rule = findRule(r.word);
    if (rule == nullptr) {
        // Unknown: whole as it stands.
        r.parse = parse_e::complete_e;
        r.trailing = length - afterWord;
        r.problem = "unknown word";
        return r;
    }
    r.known = true;

    if (rule->password) {
        const auto& mark = passwordMark();
        const std::size_t rest = length - afterWord;
        const std::size_t compared = std::min(rest, mark.size());
        if (compared > 0 && std::memcmp(bytes + afterWord, mark.data(), compared) == 0) {
            if (rest < mark.size()) {
                r.parse = parse_e::incomplete_e;
                r.problem = "password part cut short";
                return r;
            }
            in.readString();
            const std::wstring password = in.readString();
            if (in.failed()) {
                failedAt(r, in, "password");
                return r;
            }
            r.password = password;
        }
    }

    for (field_e field : rule->fields) {
        switch (field) {
        case field_e::int32_e: {
            std::int32_t value = 0;
            in >> value;
            r.numbers.push_back(value);
            break;
        }
        case field_e::text_e:
            r.texts.push_back(in.readString());
            break;
        case field_e::double_e:
            in >> r.version;
            break;
        case field_e::fileRecord_e: {
            in >> r.file;
            break;
        }
        case field_e::textRecord_e: {
            std::unique_ptr<textMessage_t> record;
            in >> record;
            if (record)
                r.message = std::move(*record);
            break;
        }
        case field_e::targetRecord_e:
            if (!in.failed()) {
                readTarget(r, bytes, length, length - in.remaining());
                if (r.parse == parse_e::incomplete_e)
                    return r;
                r.parse = parse_e::complete_e;
                return r;
            }
            break;
        }
        if (in.failed()) {
            failedAt(r, in, "fields");
            return r;
        }
    }
    r.trailing = in.remaining();
    r.parse = parse_e::complete_e;
    return r;
}
