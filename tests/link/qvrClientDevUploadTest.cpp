// Handing a model file to the machines server: by its path (the pending
// "LOCALSLICEFILE" record) and by its bytes in blocks ("REMOTEQVRFILE",
// "SENDQVRFILEBLOCK", "FINISHQVRFILESEND"). The requests are checked against
// literal bytes on a device that is never started, and one whole upload runs
// against a scripted server.
#include "link/inputStream.h"
#include "link/qvrClientDev.h"
#include "tests/link/clientTestSupport.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

using namespace clientTest;

namespace {

// The message words as the archive writes them (FF FE FF, length, UTF-16LE).
const bytes_t remoteFileWord = hexBytes(
    "FF FE FF 0D 52 00 45 00 4D 00 4F 00 54 00 45 00 51 00 56 00 52 00 46 00 49 00 4C 00 45 00");  // REMOTEQVRFILE
const bytes_t blockWord = hexBytes(
    "FF FE FF 10 53 00 45 00 4E 00 44 00 51 00 56 00 52 00 46 00 49 00 4C 00 45 00 42 00 4C 00 4F 00 43 00 4B 00");
const bytes_t finishWord = hexBytes("FF FE FF 11 46 00 49 00 4E 00 49 00 53 00 48 00 51 00 56 00 52 00 46 00 49 00 "
                                    "4C 00 45 00 53 00 45 00 4E 00 44 00");
const bytes_t localSliceWord = hexBytes(
    "FF FE FF 0E 4C 00 4F 00 43 00 41 00 4C 00 53 00 4C 00 49 00 43 00 45 00 46 00 49 00 4C 00 45 00");
const bytes_t recordClass = hexBytes("FF FF 01 00 10 00 66 69 6C 65 53 65 6E 64 50 61 72 61 6D 73 5F 74");  // fileSendParams_t

// The nineteen integers of a record as the archive writes them.
bytes_t integers(std::initializer_list<std::pair<int, uint32_t>> set)
{
    uint32_t values[19] = {};
    for (const auto& [number, value] : set)
        values[number - 1] = value;
    bytes_t out;
    for (uint32_t v : values)
        out = out + u32(v);
    return out;
}

bytes_t fileBytes(std::size_t size)
{
    bytes_t out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
    return out;
}

bool writeFile(const std::wstring& path, const bytes_t& bytes)
{
    return writeRawFile(path, std::string(bytes.begin(), bytes.end()));
}

class qvrClientDevUploadTest : public prefixTest {
protected:
    queueWindow_t window;
    sharedLock_t lock;
    qvrClientDev_t device{window.handle(), lock};

    // The queue's requests, taken out (so that the next one is the only one).
    std::vector<bytes_t> takeQueued()
    {
        lockGuard_t guard(device.getLock());
        std::vector<bytes_t> out;
        for (const packetBuffer_t& p : device.getQueue().packets()) {
            EXPECT_EQ(p.kind(), packetBuffer_t::requestMessage);
            out.emplace_back(p.data(), p.data() + p.length());
        }
        device.getQueue().clear();
        return out;
    }

    // The record the upload tests start with: the local file is named by
    // its name text.
    static fileSendParams_t uploadRecord(const std::wstring& path)
    {
        return fileSendParams_t(L"C:/models/remote.ZS", 2, 0, path, 1, 1999, 0, 0, L"");
    }
};

TEST_F(qvrClientDevUploadTest, HandOverByPathWaitsForTheDeviceThreadAndGoesOnce)
{
    // The build page's call; a second call before the device thread picks
    // the record up replaces the first.
    device.sendModelFile(L"C:\\models\\first.ZS", 2, 0, L"", 1, 1999, 0, 0, L"");
    device.sendModelFile(L"C:\\models\\cube.ZS", 2, 0, L"", 1, 1999, 0, 0, L"");
    EXPECT_TRUE(takeQueued().empty());
    const fileSendParams_t pending = device.getPendingModelFile();
    EXPECT_EQ(pending.integer(fileSendParams_t::pending_e), 1);
    EXPECT_EQ(pending.integer(qvrClientSocket_t::uploadFileSizeInteger), 0);

    device.sendPendingUpload();
    const std::vector<bytes_t> queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    // Copies 1, integer 8 = 1 (second flag 0), last layer 1999, kind 2; the
    // pending word is cleared before the record goes; the display name is
    // this session's user.
    EXPECT_EQ(queued[0], localSliceWord + recordClass + integers({{1, 1}, {8, 1}, {15, 1999}, {19, 2}}) +
                             wide("C:\\models\\cube.ZS") + wide("tech") + wide("") + wide(""));
    EXPECT_EQ(device.getPendingModelFile().integer(fileSendParams_t::pending_e), 0);

    device.sendPendingUpload();
    EXPECT_TRUE(takeQueued().empty()) << "a hand-over goes once";
}

TEST_F(qvrClientDevUploadTest, HandOverCarriesEveryArgumentInItsWord)
{
    device.sendModelFile(L"C:/m/a.ZS", 5, 1, L"Bracket", 3, 120, -4, 9, L"anna");
    device.sendPendingUpload();
    const std::vector<bytes_t> queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], localSliceWord + recordClass +
                             integers({{1, 3}, {8, 0}, {12, 9}, {15, 120}, {16, 0xFFFFFFFC}, {17, 1}, {19, 5}}) +
                             wide("C:/m/a.ZS") + wide("anna") + wide("") + wide("Bracket"));
}

TEST_F(qvrClientDevUploadTest, UploadMessagesAreTheLiteralBytes)
{
    ASSERT_TRUE(writeFile(L"C:/up/a.ZS", bytes_t({'A', 'B', 'C', 'D', 'E'})));
    EXPECT_EQ(device.getUploadProgress(), -1);

    device.sendRemoteModelFile(uploadRecord(L"C:/up/a.ZS"));
    std::vector<bytes_t> queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    // The file-size word (integer 2) is the local file's size.
    EXPECT_EQ(queued[0], remoteFileWord + recordClass +
                             integers({{1, 1}, {2, 5}, {8, 1}, {15, 1999}, {18, 1}, {19, 2}}) +
                             wide("C:/models/remote.ZS") + wide("tech") + wide("") + wide("C:/up/a.ZS"));
    EXPECT_EQ(device.getUploadProgress(), 0);

    device.sendNextFileBlock();
    queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], blockWord + hexBytes("00 00 00 00 41 42 43 44 45"));
    EXPECT_EQ(device.getUploadProgress(), 0) << "a file under 100 bytes shows 0 until it is finished";

    device.sendNextFileBlock();
    queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], finishWord);
    EXPECT_EQ(device.getUploadProgress(), 100);

    device.sendNextFileBlock();
    EXPECT_TRUE(takeQueued().empty()) << "no upload is pending any more";
}

TEST_F(qvrClientDevUploadTest, BlocksSplitTheFileAt31743Bytes)
{
    // Progress after each block: bytes sent / (size / 100), at most 100;
    // a file under 100 bytes shows 0 until it is finished.
    struct case_t {
        std::size_t size;
        std::vector<std::size_t> blocks;
        std::vector<int> progress;
    };
    const std::vector<case_t> cases = {
        {0, {}, {}},
        {1, {1}, {0}},
        {150, {150}, {100}},
        {31743, {31743}, {100}},
        {31744, {31743, 1}, {100, 100}},
        {63487, {31743, 31743, 1}, {50, 100, 100}},
        {70000, {31743, 31743, 6514}, {45, 90, 100}},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.size);
        const bytes_t content = fileBytes(c.size);
        ASSERT_TRUE(writeFile(L"C:/up/model.ZS", content));
        device.sendRemoteModelFile(uploadRecord(L"C:/up/model.ZS"));
        ASSERT_EQ(takeQueued().size(), 1u);

        bytes_t sent;
        std::vector<std::size_t> blocks;
        std::vector<int> progress;
        for (int request = 0; request < 10; ++request) {
            device.sendNextFileBlock();
            const std::vector<bytes_t> queued = takeQueued();
            ASSERT_EQ(queued.size(), 1u);
            if (queued[0] == finishWord)
                break;
            ASSERT_TRUE(startsWith(queued[0], blockWord));
            const bytes_t offset(queued[0].begin() + static_cast<std::ptrdiff_t>(blockWord.size()),
                                 queued[0].begin() + static_cast<std::ptrdiff_t>(blockWord.size()) + 4);
            EXPECT_EQ(offset, u32(static_cast<uint32_t>(sent.size())));
            sent.insert(sent.end(), queued[0].begin() + static_cast<std::ptrdiff_t>(blockWord.size()) + 4,
                        queued[0].end());
            blocks.push_back(queued[0].size() - blockWord.size() - 4);
            progress.push_back(device.getUploadProgress());
        }
        EXPECT_EQ(blocks, c.blocks);
        EXPECT_EQ(progress, c.progress);
        EXPECT_EQ(sent, content);
        EXPECT_EQ(device.getUploadProgress(), 100);
    }
}

TEST_F(qvrClientDevUploadTest, AFileThatCannotBeReadStartsNothing)
{
    ASSERT_TRUE(writeFile(L"C:/up/present.ZS", fileBytes(10)));
    struct case_t {
        const char* name;
        std::wstring path;
    };
    const std::vector<case_t> cases = {
        {"missing file", L"C:/up/missing.ZS"},
        {"a folder", L"C:/up"},
        {"empty name", L""},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        device.sendRemoteModelFile(uploadRecord(c.path));
        EXPECT_TRUE(takeQueued().empty());
        EXPECT_EQ(device.getUploadProgress(), -1);
        device.sendNextFileBlock();
        EXPECT_TRUE(takeQueued().empty()) << "no upload is pending";
    }
}

TEST_F(qvrClientDevUploadTest, AFileThatShrinksDuringTheUploadEndsWithWhatItHad)
{
    ASSERT_TRUE(writeFile(L"C:/up/model.ZS", fileBytes(40000)));
    device.sendRemoteModelFile(uploadRecord(L"C:/up/model.ZS"));
    ASSERT_EQ(takeQueued().size(), 1u);
    // Cut short after the upload started: the record still says 40000.
    ASSERT_TRUE(writeFile(L"C:/up/model.ZS", fileBytes(100)));

    device.sendNextFileBlock();
    std::vector<bytes_t> queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], blockWord + u32(0) + fileBytes(100)) << "only the bytes that were read";
    device.sendNextFileBlock();
    queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], finishWord);
}

TEST_F(qvrClientDevUploadTest, ANewUploadReplacesThePendingOne)
{
    ASSERT_TRUE(writeFile(L"C:/up/first.ZS", fileBytes(40000)));
    ASSERT_TRUE(writeFile(L"C:/up/second.ZS", bytes_t({1, 2, 3})));
    device.sendRemoteModelFile(uploadRecord(L"C:/up/first.ZS"));
    device.sendNextFileBlock();
    EXPECT_EQ(device.getUploadProgress(), 79);
    device.sendRemoteModelFile(uploadRecord(L"C:/up/second.ZS"));
    EXPECT_EQ(device.getUploadProgress(), 0);
    takeQueued();
    device.sendNextFileBlock();
    const std::vector<bytes_t> queued = takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0], blockWord + u32(0) + bytes_t({1, 2, 3}));
}

// --- a whole upload against a server ---------------------------------------------------

// The machines server's side of an upload: it greets, grants control, answers
// polls with a status, asks for blocks until the client finishes, and keeps
// what it received. It reads each client message whole, however TCP splits
// it (a block message is over 31 KB).
class uploadServer_t {
public:
    struct block_t {
        uint32_t offset = 0;
        bytes_t bytes;
    };

    scriptedPeer_t::step_t step()
    {
        return scriptedPeer_t::run([this](int fd) { serve(fd); });
    }
    void stop() { stop_.store(true); }

    std::vector<block_t> blocks() const
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return blocks_;
    }
    std::vector<std::string> problems() const
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return problems_;
    }
    int finishes() const { return finishes_.load(); }

private:
    void serve(int fd)
    {
        if (!sendAll(fd, greeting()))
            return;
        bytes_t message;
        while (readMessage(fd, message)) {
            if (!sendAll(fd, answer(message)))
                return;
        }
    }

    bytes_t answer(const bytes_t& message)
    {
        inputStream_t in(message.data(), static_cast<int32_t>(message.size()));
        const std::wstring word = in.readString();
        if (word == L"QVRcontrolConnect" || word == L"QVRnormalConnect")
            return connectAnswer(true, 7, "Alpha");
        if (word == L"CMND")
            return statusResp(statusFields_t{});
        if (word == L"REMOTEQVRFILE") {
            std::unique_ptr<fileSendParams_t> record;
            in >> record;
            if (!record)
                return note("REMOTEQVRFILE without its record");
            fileSize_ = record->integer(qvrClientSocket_t::uploadFileSizeInteger);
            return wide("SENDQVRFILEBLOCK");
        }
        if (word == L"SENDQVRFILEBLOCK") {
            block_t block;
            in >> block.offset;
            block.bytes.resize(in.remaining());
            in.readRaw(block.bytes.data(), block.bytes.size());
            std::lock_guard<std::mutex> guard(mutex_);
            blocks_.push_back(std::move(block));
            return wide("SENDQVRFILEBLOCK");
        }
        if (word == L"FINISHQVRFILESEND") {
            ++finishes_;
            return wide("FINISHQVRFILESEND");
        }
        return wide("ERROR");
    }

    bytes_t note(const std::string& problem)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        problems_.push_back(problem);
        return wide("ERROR");
    }

    // How many bytes the message needs in all; 0 while that is not known yet.
    std::size_t neededLength(const bytes_t& m) const
    {
        const bytes_t cmndWord = wide("CMND");
        if (startsWith(m, cmndWord))
            return m.size() > cmndWord.size() ? cmndWord.size() + 1 + m[cmndWord.size()] : 0;
        if (startsWith(m, blockWord)) {
            if (m.size() < blockWord.size() + 4)
                return 0;
            const uint32_t offset = static_cast<uint32_t>(m[blockWord.size()]) |
                                    static_cast<uint32_t>(m[blockWord.size() + 1]) << 8 |
                                    static_cast<uint32_t>(m[blockWord.size() + 2]) << 16 |
                                    static_cast<uint32_t>(m[blockWord.size() + 3]) << 24;
            const int64_t left = static_cast<int64_t>(fileSize_) - offset;
            return blockWord.size() + 4 + static_cast<std::size_t>(left < 31744 ? left : 31743);
        }
        // Every other client message of this exchange is small and whole
        // once its fields read.
        inputStream_t in(m.data(), static_cast<int32_t>(m.size()));
        const std::wstring word = in.readString();
        if (word == L"REMOTEQVRFILE") {
            std::unique_ptr<fileSendParams_t> record;
            in >> record;
        } else if (word == L"QVRcontrolConnect" || word == L"QVRnormalConnect") {
            int32_t id = 0;
            double version = 0;
            in >> id;
            in.readString();
            in >> version;
        }
        return in.failed() ? 0 : m.size();
    }

    bool readMessage(int fd, bytes_t& message)
    {
        message.clear();
        std::vector<uint8_t> buffer(65536);
        for (;;) {
            if (stop_.load())
                return false;
            const std::size_t needed = message.empty() ? 0 : neededLength(message);
            if (needed != 0 && message.size() >= needed)
                return true;
            pollfd ready{fd, POLLIN, 0};
            const int r = ::poll(&ready, 1, 20);
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                continue;
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                return false;
            message.insert(message.end(), buffer.begin(), buffer.begin() + n);
        }
    }

    static bool sendAll(int fd, const bytes_t& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    mutable std::mutex mutex_;
    std::vector<block_t> blocks_;
    std::vector<std::string> problems_;
    int32_t fileSize_ = 0;  // server thread only
    std::atomic<int> finishes_{0};
    std::atomic<bool> stop_{false};
};

class qvrClientDevUploadThreadsTest : public prefixTest {};

TEST_F(qvrClientDevUploadThreadsTest, AnUploadRunsBlockByBlockAndEndsWith118)
{
    const bytes_t content = fileBytes(63487);
    ASSERT_TRUE(writeFile(L"C:/up/model.ZS", content));

    scriptedPeer_t peer;
    uploadServer_t server;
    peer.addScript({server.step()});
    queueWindow_t window;
    {
        sharedLock_t lock;
        qvrClientDev_t device(window.handle(), lock);
        ASSERT_TRUE(device.connect(L"localhost", 7, true, peer.port()));
        ASSERT_TRUE(waitUntil([&] { return device.isConnected(); }, 20s)) << "the link never came up";

        device.sendRemoteModelFile(
            fileSendParams_t(L"C:/models/model.ZS", 2, 0, L"C:/up/model.ZS", 1, 1999, 0, 0, L""));
        EXPECT_TRUE(waitCode(window, 118, 1, 30s)) << "the upload did not finish";
        EXPECT_EQ(device.getUploadProgress(), 100);
        server.stop();
    }
    EXPECT_TRUE(peer.waitScriptsDone(10000));
    EXPECT_TRUE(server.problems().empty());
    EXPECT_EQ(server.finishes(), 1);

    const std::vector<uploadServer_t::block_t> blocks = server.blocks();
    ASSERT_EQ(blocks.size(), 3u);
    bytes_t received;
    for (const uploadServer_t::block_t& block : blocks) {
        EXPECT_EQ(block.offset, received.size()) << "blocks follow each other";
        received.insert(received.end(), block.bytes.begin(), block.bytes.end());
    }
    EXPECT_EQ(blocks[0].bytes.size(), 31743u);
    EXPECT_EQ(blocks[2].bytes.size(), 1u);
    EXPECT_EQ(received, content);
    EXPECT_EQ(countCode(window, 118), 1);
}

}  // namespace
