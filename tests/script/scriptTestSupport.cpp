#include "tests/script/scriptTestSupport.h"

#include "procedures/script/batchRunContext.h"
#include "procedures/script/unitConversion.h"

std::string onDisk(const std::string& text)
{
    std::string bytes;
    for (char c : text) {
        if (c == '\n')
            bytes += '\r';
        bytes += c;
    }
    return bytes;
}

void scriptTest::SetUp()
{
    for (auto& cell : batchRunState_t::globalCells)
        cell = 0;
    setUnitMode(stepsUnits_e);
}

scriptRun_t scriptTest::run(const std::string& source, batchStopTest_t stopTest)
{
    EXPECT_TRUE(writeRawFile(scriptPath, source));
    return runFile(scriptPath, std::move(stopTest));
}

scriptRun_t scriptTest::runFile(const std::wstring& path, batchStopTest_t stopTest)
{
    scriptRun_t result;
    {
        coutCapture_t capture;
        batchRunContext_t context(nullptr, path);
        try {
            context.run(std::move(stopTest));
            result.ok = true;
        } catch (const std::runtime_error& error) {
            result.error = error.what();
        }
        result.out = capture.text();
    }
    result.trace = readRawFile(L"\\batchTrace.log").value_or("<no trace log>");
    return result;
}
