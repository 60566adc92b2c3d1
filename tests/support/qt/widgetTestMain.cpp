#include "tests/support/qt/widgetTestMain.h"

#include "platform/prefix.h"
#include "platform/process.h"
#include "tests/support/childProcess.h"

#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

int runWidgetTests(int argc, char** argv, const char* name) {
    if (const auto code = runChildHelperIfAsked(argc, argv))
        return *code;
    std::string pattern = std::string("/tmp/qvr-") + name + "-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr)
        return 2;
    const std::string root = made;
    const std::string runtime = root + "/xdg";
    mkdir(runtime.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    // CTest sets the platform for the runs, but not for test discovery.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "UTC", 0);
    usePrefix(root + "/prefix");
    initProcessCommandLine(argc, argv);

    int result = 0;
    {
        QApplication app(argc, argv);
        std::setlocale(LC_ALL, "C");
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}
