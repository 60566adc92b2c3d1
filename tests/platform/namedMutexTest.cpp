#include "platform/codePage.h"
#include "platform/lastError.h"
#include "platform/namedMutex.h"
#include "tests/support/childProcess.h"
#include "tests/support/tempPrefix.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

const std::wstring kDriver = L"Wendaro is OK mutex";

using NamedMutexTest = prefixTest;

TEST_F(NamedMutexTest, existsWhileAHandleIsOpenInThisProcess) {
    EXPECT_FALSE(namedMutexExists(kDriver));
    bool existed = true;
    auto first = std::make_unique<namedMutex_t>(kDriver, &existed);
    ASSERT_TRUE(first->isValid());
    EXPECT_FALSE(existed);
    EXPECT_EQ(getLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(namedMutexExists(kDriver));

    namedMutex_t second(kDriver, &existed);
    EXPECT_TRUE(existed);
    EXPECT_EQ(getLastError(), ERROR_ALREADY_EXISTS);
    // Names are case-sensitive, and a name with separators stays one object.
    namedMutex_t other(L"wendaro is ok mutex", &existed);
    EXPECT_FALSE(existed);
    namedMutex_t slashes(L"Global\\a/../b", &existed);
    EXPECT_FALSE(existed);

    first.reset();
    EXPECT_TRUE(namedMutexExists(kDriver));  // the second handle still holds it
    second.close();
    EXPECT_FALSE(namedMutexExists(kDriver));
    namedMutex_t unnamed(L"", &existed);
    EXPECT_TRUE(unnamed.isValid());
    EXPECT_FALSE(existed);
}

// Holds the mutex until killed or until the "release" file appears.
QVR_CHILD_HELPER(mutexHolder) {
    namedMutex_t m(utf8ToWide(args.at(0)));
    if (!m.isValid()) return 2;
    const std::string release = args.at(1);
    for (;;) {
        if (std::FILE* f = std::fopen(release.c_str(), "r")) {
            std::fclose(f);
            return 0;
        }
        std::this_thread::sleep_for(5ms);
    }
}

TEST_F(NamedMutexTest, heldByAnotherProcessAndReleasedWhenItEndsOrIsKilled) {
    const std::string release = prefix_.root() + "/release";
    for (const bool kill : {false, true}) {
        childProcess_t child;
        ASSERT_TRUE(child.start("mutexHolder", {"Wendaro is OK mutex", release}));
        ASSERT_TRUE(waitUntil([] { return namedMutexExists(kDriver); }));
        {
            bool existed = false;
            namedMutex_t mine(kDriver, &existed);
            EXPECT_TRUE(existed);
        }
        EXPECT_TRUE(namedMutexExists(kDriver));  // closing ours left the child's
        if (kill) {
            child.kill(SIGKILL);
            EXPECT_EQ(child.wait(), -1);
            EXPECT_TRUE(child.killedBySignal());
        } else {
            ASSERT_TRUE(writeRawFile(L"Z:" + std::filesystem::path(release).wstring(), ""));
            EXPECT_EQ(child.wait(), 0);
        }
        EXPECT_FALSE(namedMutexExists(kDriver));
        bool existed = true;
        namedMutex_t after(kDriver, &existed);
        EXPECT_FALSE(existed);
        std::remove(release.c_str());
    }
}

// Tries to be the creator; exits 0 when it found the mutex free.
QVR_CHILD_HELPER(mutexCreator) {
    bool existed = false;
    namedMutex_t m(L"race", &existed);
    if (!m.isValid()) return 2;
    if (!existed) {
        // Hold a while so the others see it.
        const std::string done = args.at(0);
        for (int k = 0; k < 12000; ++k) {
            if (std::FILE* f = std::fopen(done.c_str(), "r")) {
                std::fclose(f);
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        return 0;
    }
    return 1;
}

TEST_F(NamedMutexTest, simultaneousCreatorsCannotBothCreate) {
    const std::string done = prefix_.root() + "/done";
    std::vector<std::unique_ptr<childProcess_t>> children;
    for (int k = 0; k < 6; ++k) {
        children.push_back(std::make_unique<childProcess_t>());
        ASSERT_TRUE(children.back()->start("mutexCreator", {done}));
    }
    // Wait for everyone but the creator, then let the creator go.
    int creators = 0;
    std::vector<bool> finished(children.size(), false);
    ASSERT_TRUE(waitUntil([&] {
        int ended = 0;
        for (std::size_t k = 0; k < children.size(); ++k) {
            if (!finished[k]) {
                if (const auto code = children[k]->wait(1ms)) {
                    finished[k] = true;
                    creators += *code == 0;
                }
            }
            ended += finished[k];
        }
        return ended >= static_cast<int>(children.size()) - 1;
    }, 30s));
    ASSERT_TRUE(writeRawFile(L"Z:" + std::filesystem::path(done).wstring(), ""));
    for (std::size_t k = 0; k < children.size(); ++k) {
        if (finished[k]) continue;
        const auto code = children[k]->wait();
        ASSERT_TRUE(code);
        creators += *code == 0;
    }
    EXPECT_EQ(creators, 1);
}

}  // namespace
