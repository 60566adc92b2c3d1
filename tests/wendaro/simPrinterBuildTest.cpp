// Builds of the simulated printer: model files, the queue, the layer cycle
// with its records and model information, interruptions, and the logs that
// the technician program's logs page reads.
#include "machine/fileSendParams.h"
#include "machine/machineStatus.h"
#include "machine/textUtils.h"
#include "machine/wstr.h"
#include "tests/support/tempPrefix.h"
#include "tests/wendaro/simTestPackets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

std::string num(long long value) { return wstrToStr(toStr(value)); }

// The empty model as the device writes it (layers n, length L mm).
std::string emptyModelText(int layers, int lengthMm)
{
    const auto height = static_cast<long long>(std::ceil((layers - 1) * 16.8));
    const long long width = (static_cast<long long>(lengthMm) * 1000000 - 20000000 - 40000000) / 10000;
    std::string text = "$ 0 0 0 0 0 " + num(height) + " " + num(width) + " 168000 Empty_Model\n";
    for (int i = 0; i < layers; ++i)
        text += "@ " + num(width) + "\n#\n";
    return text + "\n$\n";
}

const std::wstring sharePath = L"C:/QVR_Printers/QVR_SHARE/";
const std::wstring machineFolder = L"C:/QVR_Printers/7";

class simPrinterBuildTest : public prefixTest {
protected:
    simPrinterBuildTest()
    {
        // Layers of exactly the model's thickness.
        printer_.handleCommand(pkt_t(3).u16(115 * 4).i32(-2000000).u8(1).u8(0));
    }

    std::wstring writeModel(const std::wstring& name, const std::string& text)
    {
        EXPECT_TRUE(writeRawFile(sharePath + name, text));
        return sharePath + name;
    }

    std::uint8_t state() { return printer_.machineState(); }

    simPrinter_t printer_{testConfig()};
};

TEST(simModelFileTest, ReadsTheModelsTheSystemWrites)
{
    struct case_t {
        const char* name;
        std::string text;
        bool readable;
        std::int32_t layers;
        std::int64_t length;
        std::int64_t height;
        std::string modelName;
    };
    std::string crlf = emptyModelText(3, 100);
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    const case_t cases[] = {
        {"one layer of 50 mm", emptyModelText(1, 50), true, 1, -10000000, 0, "Empty_Model"},
        {"500 layers of 80 mm", emptyModelText(500, 80), true, 500, 20000000, 83840000, "Empty_Model"},
        {"CR LF line ends", crlf, true, 3, 40000000, 340000, "Empty_Model"},
        {"more layers than a build can have", emptyModelText(2500, 100), true, 1999, 40000000, 419840000,
         "Empty_Model"},
        {"a slicer's file", "G1 X0 Y0\nG1 X10\n", true, 100, 50000000, 16800000, "Cube"},
        // 10^17 units of 10 microns are no model's; the header is not read,
        // as one with a field that is no number.
        {"a height beyond any model", "$ 0 0 0 0 0 100000000000000000 10 168000 Huge\n@ 1\n#\n", true, 100,
         50000000, 16800000, "Cube"},
        {"a length beyond any model", "$ 0 0 0 0 0 10 -100000000000000000 168000 Huge\n@ 1\n#\n", true, 100,
         50000000, 16800000, "Cube"},
        {"a header without layers", "$ 0 0 0 0 0 0 10 168000 Nothing\n$\n", false, 0, 0, 0, ""},
        {"an empty file", "", false, 0, 0, 0, ""},
        {"blank lines only", "\r\n\r\n", false, 0, 0, 0, ""},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        const auto model = simModelFile_t::parse(c.text, L"C:/models/Cube.zs");
        ASSERT_EQ(model.has_value(), c.readable);
        if (!model)
            continue;
        EXPECT_EQ(model->layers, c.layers);
        EXPECT_EQ(model->thickness, 168000);
        EXPECT_EQ(model->length, c.length);
        EXPECT_EQ(model->height, c.height);
        EXPECT_EQ(model->name, c.modelName);
    }
    EXPECT_FALSE(simModelFile_t::read(L"C:/no/such/model.ZS").has_value());
}

TEST_F(simPrinterBuildTest, AModelIsBuiltToItsEndWithRecordsAndModelInformation)
{
    const std::wstring path = writeModel(L"EmptyModel.ZS", emptyModelText(6, 100));
    printer_.takeEvents();
    ASSERT_EQ(printer_.queueModelFile(path), 0);
    EXPECT_EQ(state(), 1);

    // The start: model information, file information, notices.
    const qvrHostModelInfo_t info = printer_.modelInfo();
    EXPECT_EQ(info.values[0], 6);
    EXPECT_EQ(info.layerThickness(), 168000);
    EXPECT_EQ(info.words[1], 6);
    EXPECT_EQ(info.modelName(), "Empty_Model");
    EXPECT_TRUE(printer_.fileInfo().isPresent());
    EXPECT_EQ(printer_.fileInfo().values[1], 6);
    std::vector<simEvent_t::kind_e> kinds;
    for (const simEvent_t& event : printer_.takeEvents())
        kinds.push_back(event.kind);
    for (simEvent_t::kind_e kind : {simEvent_t::kind_e::queueChanged_e, simEvent_t::kind_e::fileInfoChanged_e,
                                    simEvent_t::kind_e::modelStarted_e, simEvent_t::kind_e::timeEstimate_e})
        EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << static_cast<int>(kind);
    std::vector<std::uint8_t> s = printer_.handleCommand(pkt_t(1)).packet;
    EXPECT_NE(payloadU32(s, 12) & 0x200u, 0u);
    EXPECT_EQ(payloadI16(s, 36), 1);
    EXPECT_EQ(payloadI16(s, 38), 1);
    EXPECT_EQ(payloadI16(s, 40), 6);
    EXPECT_EQ(payloadI16(s, 42), 0);
    EXPECT_EQ(s[1 + 51], 1);  // feeding
    // Layer length: the model (40 mm) + "Feed more (with glue)" + "Model Offset Y".
    EXPECT_EQ(payloadU32(s, 20), 100000000u);

    // Layer by layer, as the client fetches them.
    for (int layer = 1; layer <= 6; ++layer) {
        SCOPED_TRACE(layer);
        printer_.advance(testConfig().layerMs);
        s = printer_.handleCommand(pkt_t(1)).packet;
        EXPECT_EQ(payloadI16(s, 42), layer);
        for (int index = 0; index <= layer; ++index) {
            const std::vector<std::uint8_t> r = printer_.handleCommand(pkt_t(10).u16(index)).packet;
            ASSERT_EQ(r.size(), 45u);
            ASSERT_EQ(r[0], 9);
            EXPECT_EQ(payloadU32(r, 4), static_cast<std::uint32_t>(index * 168000));
            if (index > 0) {
                EXPECT_EQ(r[1 + 30], 1);  // feeding tries
                EXPECT_EQ(r[1 + 31], 1);  // trimming tries
                EXPECT_EQ(r[1 + 26], 0);  // thickness within tolerance
                EXPECT_LE(std::abs(static_cast<std::int8_t>(r[1 + 20])), 2);
            }
        }
        EXPECT_EQ(printer_.handleCommand(pkt_t(10).u16(layer + 1)).type(), 2);
    }

    // The end: state 4, building and model-end flags, the table keeps it.
    EXPECT_EQ(state(), 4);
    s = printer_.handleCommand(pkt_t(1)).packet;
    EXPECT_EQ(payloadU32(s, 12) & 0x4200u, 0x4200u);
    EXPECT_EQ(payloadI16(s, 42), 6);
    EXPECT_FALSE(printer_.fileInfo().isPresent());
    EXPECT_TRUE(printer_.queueList().empty());
    kinds.clear();
    for (const simEvent_t& event : printer_.takeEvents())
        kinds.push_back(event.kind);
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), simEvent_t::kind_e::modelEnded_e), kinds.end());

    // 4 acknowledges the end; the flags stay until the model is removed.
    printer_.handleCommand(pkt_t(4));
    EXPECT_EQ(state(), 7);
    EXPECT_EQ(printer_.status().flags() & 0x4200u, 0x4200u);
    printer_.removeModel();
    s = printer_.handleCommand(pkt_t(1)).packet;
    EXPECT_EQ(payloadU32(s, 12) & 0x4200u, 0u);
    EXPECT_EQ(payloadI16(s, 42), 0);
    EXPECT_EQ(printer_.stackHeight(), 0);
}

TEST_F(simPrinterBuildTest, TheQueueStartsModelsOneAfterTheOther)
{
    const std::wstring first = writeModel(L"first.ZS", emptyModelText(2, 100));
    const std::wstring second = writeModel(L"second.ZS", emptyModelText(3, 100));
    const std::wstring third = writeModel(L"third.ZS", emptyModelText(4, 100));
    const std::uint32_t changes = printer_.queueChangeCount();

    EXPECT_EQ(printer_.queueModelFile(first), 0);
    EXPECT_EQ(printer_.queueModelFile(second), 1);
    EXPECT_EQ(printer_.queueModelFile(third), 2);
    EXPECT_FALSE(printer_.queueModelFile(sharePath + L"missing.ZS").has_value());
    EXPECT_GT(printer_.queueChangeCount(), changes);
    std::vector<fileSendParams_t> list = printer_.queueList();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].path, first);
    EXPECT_EQ(list[0].integer(fileSendParams_t::lastLayer_e), 1999);

    // Waiting entries move and go; the model being built stays.
    EXPECT_FALSE(printer_.removeFromQueue(0));
    EXPECT_TRUE(printer_.moveInQueue(2, 1));
    list = printer_.queueList();
    EXPECT_EQ(list[1].path, third);
    EXPECT_TRUE(printer_.removeFromQueue(1));
    EXPECT_EQ(printer_.queueList().size(), 2u);

    // Cancel: the model ends where it stands and stays on the table, so the
    // next one waits for its removal.
    printer_.advance(testConfig().layerMs);
    EXPECT_TRUE(printer_.cancelBuild(-1));
    EXPECT_EQ(state(), 4);
    EXPECT_EQ(printer_.layerRecordCount(), 1);
    EXPECT_EQ(printer_.status().flags() & 0x4200u, 0x4200u);
    EXPECT_FALSE(printer_.cancelBuild(0));
    printer_.handleCommand(pkt_t(4));
    printer_.advance(1000);
    EXPECT_EQ(state(), 7);
    printer_.removeModel();
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(printer_.modelInfo().values[0], 3);
    EXPECT_EQ(printer_.queueList().size(), 1u);

    // A paused queue starts nothing.
    printer_.setQueuePaused(true);
    printer_.queueModelFile(first);
    printer_.advance(10 * testConfig().layerMs);
    printer_.removeModel();
    printer_.advance(1000);
    EXPECT_EQ(state(), 7);
    EXPECT_EQ(printer_.queueList().size(), 1u);
    printer_.setQueuePaused(false);
    EXPECT_EQ(state(), 1);
    printer_.clearQueue();
    EXPECT_EQ(printer_.queueList().size(), 1u);  // the model being built

    // The machine's own test model: 50 layers, not through the queue.
    printer_.cancelBuild(0);
    printer_.removeModel();
    EXPECT_EQ(printer_.handleCommand(pkt_t(155)).type(), 2);
    EXPECT_EQ(state(), 1);
    EXPECT_EQ(printer_.modelInfo().modelName(), "Test Model");
    EXPECT_TRUE(printer_.queueList().empty());
}

TEST_F(simPrinterBuildTest, BuildsStopForPauseDoorMediaAndPower)
{
    const std::wstring path = writeModel(L"EmptyModel.ZS", emptyModelText(20, 100));
    printer_.queueModelFile(path);
    const int layerMs = static_cast<int>(testConfig().layerMs);

    struct step_t {
        const char* name;
        std::function<void()> interrupt;
        std::uint8_t stopped;
        std::uint8_t error;
        std::function<void()> resume;
    };
    const step_t steps[] = {
        {"PAUSE", [&] { printer_.pressPause(); }, 2, 0, [&] { printer_.pressResume(); }},
        {"door", [&] { printer_.setDoorOpen(true); }, 2, 0,
         [&] {
             printer_.setDoorOpen(false);
             printer_.pressResume();
         }},
        {"media out", [&] { printer_.setMedia(false); }, 2, 37,
         [&] {
             printer_.setMedia(true);
             printer_.pressResume();
         }},
        {"power cycle", [&] { printer_.powerCycle(); }, 10, 0, [&] { printer_.pressResume(); }},
    };
    for (const step_t& step : steps) {
        SCOPED_TRACE(step.name);
        printer_.advance(static_cast<std::uint64_t>(layerMs));
        step.interrupt();
        EXPECT_EQ(state(), step.stopped);
        EXPECT_EQ(printer_.errorNumber(), step.error);
        const std::int32_t done = printer_.layerRecordCount();
        printer_.advance(static_cast<std::uint64_t>(5 * layerMs));
        EXPECT_EQ(printer_.layerRecordCount(), done);
        step.resume();
        EXPECT_EQ(state(), 1);
        EXPECT_EQ(printer_.errorNumber(), 0);
    }
    const errorHistory_t history = printer_.errorHistory();
    EXPECT_EQ(history.messageCode, 37);
    EXPECT_EQ(history.description, L"NO MEDIA");
    EXPECT_EQ(history.text2, L"Empty_Model");
    EXPECT_EQ(history.value3, 7);

    // No temperature: the build stops at its next feed.
    printer_.setTemperature(255);
    printer_.advance(static_cast<std::uint64_t>(layerMs));
    EXPECT_EQ(state(), 2);
    EXPECT_EQ(printer_.errorNumber(), 50);
    const std::int32_t done = printer_.layerRecordCount();
    printer_.advance(static_cast<std::uint64_t>(5 * layerMs));
    EXPECT_EQ(printer_.layerRecordCount(), done);
    printer_.setTemperature(35);
    printer_.pressResume();
    EXPECT_EQ(state(), 1);

    // Resume Model abandoned with 4: the model ends there.
    printer_.advance(static_cast<std::uint64_t>(layerMs));
    printer_.powerCycle();
    EXPECT_EQ(state(), 10);
    printer_.handleCommand(pkt_t(4));
    EXPECT_EQ(state(), 4);
    EXPECT_LT(printer_.layerRecordCount(), 20);
}

std::string fileText(const std::wstring& path) { return readRawFile(path).value_or("<missing>"); }

TEST_F(simPrinterBuildTest, LogsAreWrittenWhereTheLogsPageReadsThem)
{
    const std::wstring path = writeModel(L"EmptyModel.ZS", emptyModelText(3, 100));
    printer_.queueModelFile(path);
    printer_.advance(3 * testConfig().layerMs);
    ASSERT_EQ(state(), 4);

    const std::string daily = fileText(machineFolder + L"/Daily_Logs/08Dec26.LOG");
    EXPECT_NE(daily.find("14:05:00 Build started: Empty_Model, 3 layers\r\n"), std::string::npos) << daily;
    EXPECT_NE(daily.find("14:05:00 Layer 2 of 3 done, height 0.336 mm\r\n"), std::string::npos) << daily;
    EXPECT_NE(daily.find("14:05:00 Build completed: Empty_Model, 3 of 3 layers\r\n"), std::string::npos) << daily;
    EXPECT_NE(daily.find("14:05:00 Parameter 115 DZ Sensor-To-Iron changed from -1200000 to -2000000\r\n"),
              std::string::npos)
        << daily;

    const std::string brief = fileText(machineFolder + L"/MachineReport.log");
    EXPECT_NE(brief.find("12/8/2026 14:05:00 -> Build started: Empty_Model\r\n"), std::string::npos) << brief;
    EXPECT_NE(brief.find("12/8/2026 14:05:00 -> Machine state: Model End\r\n"), std::string::npos) << brief;

    EXPECT_EQ(printer_.modelLogPath(), machineFolder + L"/Models_Logs/Empty_Model_08Dec26_1405.log");
    const std::string model = fileText(printer_.modelLogPath());
    EXPECT_EQ(model.rfind("Model: Empty_Model, file: C:/QVR_Printers/QVR_SHARE/EmptyModel.ZS, user: tech, layers: 3, "
                          "thickness: 168000 nm\r\n",
                          0),
              0u)
        << model;
    EXPECT_NE(model.find("Layer 3: height 0.504 mm, thickness 168 um, XY home "), std::string::npos) << model;
    EXPECT_NE(model.find("Model completed after 3 layers, 0 s\r\n"), std::string::npos) << model;

    for (const std::string& text : {daily, brief, model})
        for (char c : text)
            ASSERT_TRUE(static_cast<unsigned char>(c) < 0x80);

    int newLogs = 0;
    for (const simEvent_t& event : printer_.takeEvents())
        newLogs += event.kind == simEvent_t::kind_e::logAppended_e;
    EXPECT_GT(newLogs, 5);

    EXPECT_TRUE(printer_.writeEmbeddedVersionFile());
    EXPECT_EQ(fileText(machineFolder + L"/Settings/EmbeddedVersion.txt"), "1120\r\n");

    // Logging off: nothing more is written.
    printer_.setLogWriting(false);
    const std::string before = fileText(machineFolder + L"/Daily_Logs/08Dec26.LOG");
    printer_.removeModel();
    printer_.appendDailyLog(L"connection closed");
    EXPECT_EQ(fileText(machineFolder + L"/Daily_Logs/08Dec26.LOG"), before);
}

TEST_F(simPrinterBuildTest, LayersGoWrongAtTheConfiguredRate)
{
    // Offsets: 20 X home, 25 bouncing, 27 roller teeth, 28 stuck at start,
    // 29 search failures, 30 feeding tries, 31 trimming tries, 35 tool retries.
    struct rate_t {
        int perMille;
        bool troubled;
    };
    for (const rate_t rate : {rate_t{0, false}, rate_t{1000, true}}) {
        SCOPED_TRACE(rate.perMille);
        simPrinterConfig_t config = testConfig();
        config.layerTroublePerMille = rate.perMille;
        simPrinter_t printer(config);
        ASSERT_TRUE(printer.queueModelFile(writeModel(L"trouble.ZS", emptyModelText(20, 100))).has_value());
        for (int layer = 0; layer < 20; ++layer)
            printer.advance(config.layerMs);
        ASSERT_EQ(printer.layerRecordCount(), 20);
        for (int index = 1; index <= 20; ++index) {
            const std::array<std::uint8_t, 44> r = printer.layerRecord(index)->bytes;
            const int pump = std::abs(static_cast<std::int16_t>(r[40] | r[41] << 8));
            EXPECT_EQ(r[27] == 0 || r[27] == 255, rate.troubled) << index;
            EXPECT_EQ(r[30] >= 2 && r[31] >= 2 && r[35] >= 1 && r[28] == 1 && r[29] >= 1, rate.troubled) << index;
            EXPECT_EQ(pump > 1000 && std::abs(static_cast<std::int8_t>(r[20])) > 4 && r[25] > 5, rate.troubled)
                << index;
            if (!rate.troubled) {
                EXPECT_TRUE(r[30] == 1 && r[31] == 1 && r[35] == 0 && r[28] == 0 && r[29] == 0 && pump <= 50) << index;
            }
        }
    }
}

}  // namespace
