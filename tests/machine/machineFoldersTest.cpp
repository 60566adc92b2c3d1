#include "machine/fileSendParams.h"
#include "machine/globalNames.h"
#include "machine/machineParam.h"
#include "machine/registryUtils.h"
#include "platform/prefix.h"
#include "platform/process.h"
#include "tests/machine/scriptedDevice.h"
#include "tests/support/tempPrefix.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <regex>

namespace {

packetBuffer_t statusWith(std::uint32_t id, std::uint8_t state)
{
    std::vector<std::uint8_t> bytes(61, 0);
    bytes[0] = 1;
    le::putU32(&bytes[1], id);
    bytes[1 + 50] = state;
    return packetFrom(bytes);
}

packetBuffer_t infoWithVersion(std::uint16_t version)
{
    std::vector<std::uint8_t> bytes(53, 0);
    bytes[0] = 11;
    le::putU16(&bytes[1 + 6], version);
    return packetFrom(bytes);
}

void receive(scriptedDevice_t& device, const packetBuffer_t& reply)
{
    device.deliver(reply);
    device.step();
}

std::string fileText(const std::wstring& path) { return readRawFile(path).value_or("<missing>"); }

class machineFoldersTest : public prefixTest {};

TEST_F(machineFoldersTest, FolderTreeOfANewMachine)
{
    struct case_t {
        const char* name;
        const wchar_t* registryRoot;  // null: no value
        std::wstring root;
    };
    const case_t cases[] = {
        {"default data root", nullptr, L"C:/QVR_Printers"},
        {"data root from the registry", L"D:/Data", L"D:/Data"},
    };
    for (const case_t& c : cases) {
        SCOPED_TRACE(c.name);
        tempPrefix_t prefix;
        std::filesystem::create_directories(prefix.root() + "/drive_d");
        ASSERT_TRUE(setConfigValue(L"drives", L"D", L"drive_d"));
        if (c.registryRoot != nullptr) {
            ASSERT_TRUE(regWriteString(qvrCommRegistryKey, baseDirectoryValueName, c.registryRoot, HKEY_CURRENT_USER));
        }
        scriptedDevice_t device;
        EXPECT_TRUE(std::filesystem::is_directory(linuxPathOf(c.root)));
        device.createFoldersIfIdKnown();  // machine 0: nothing
        EXPECT_FALSE(std::filesystem::exists(linuxPathOf(c.root + L"/0")));

        receive(device, statusWith(12, 7));
        for (const wchar_t* folder : {L"", L"/Daily_Logs", L"/Models_Logs", L"/History", L"/Settings"})
            EXPECT_TRUE(std::filesystem::is_directory(linuxPathOf(c.root + L"/12" + folder))) << folder;
        EXPECT_EQ(device.getMachineFolder(), c.root + L"/12");
        EXPECT_EQ(device.getParametersFilePath(), c.root + L"/12/Settings/MachineParameters.txt");
        EXPECT_EQ(device.getFactoryParametersPath(), c.root + L"/12/Settings/Factory_Parameters.txt");
        EXPECT_EQ(device.getOpenedParamsPath(), c.root + L"/12/Settings/OpenedParams.txt");
        EXPECT_EQ(device.getUpdatesPath(), c.root + L"/12/Settings/Updates.txt");
        EXPECT_EQ(device.getEmbeddedVersionPath(), c.root + L"/12/Settings/EmbeddedVersion.txt");
        EXPECT_EQ(device.getModelsHistoryPath(), c.root + L"/12/Settings/ModelsHistory.txt");
        EXPECT_EQ(device.getLastFilenamePath(), c.root + L"/12/Settings/LastFilename.txt");
        EXPECT_EQ(device.getMachineReportPath(), c.root + L"/12/MachineReport.log");
    }
}

TEST_F(machineFoldersTest, ParameterChangesAreLoggedAndSentAndSaved)
{
    scriptedDevice_t device;
    receive(device, statusWith(12, 7));
    const machineParam_t* wait = parameterAt(15);  // "Wait Before Feeding", 600 ms
    ASSERT_NE(wait, nullptr);
    device.setParameter(*wait, 700, true);
    device.setParameter(*wait, 650, true);
    device.setParameter(*wait, 650, true);  // unchanged: sent and saved, not logged

    const std::string date = R"(\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d)";
    EXPECT_TRUE(std::regex_match(fileText(L"C:/QVR_Printers/12/MachineReport.log"),
                                 std::regex(date + " -> Value of parameter: Wait Before Feeding, has changed from 600 to 700\r\n" +
                                            date + " -> Value of parameter: Wait Before Feeding, has changed from 700 to 650\r\n")))
        << fileText(L"C:/QVR_Printers/12/MachineReport.log");
    EXPECT_TRUE(std::regex_match(fileText(L"C:/QVR_Printers/Parameters Log/Wait Before Feeding.LOG"),
                                 std::regex("Parameter Log: Wait Before Feeding\r\n\r\n\r\n"
                                            "ID #12, " + date + " -> Value has changed from 600 to 700\r\n"
                                            "ID #12, " + date + " -> Value has changed from 700 to 650\r\n")))
        << fileText(L"C:/QVR_Printers/Parameters Log/Wait Before Feeding.LOG");

    // Command 3 each time; the opened mark is set, the first time with the
    // opened list saved.
    const std::vector<packetBuffer_t> queued = device.queuedPackets();
    ASSERT_EQ(queued.size(), 2u);  // the third equals the second, waiting behind the front
    EXPECT_EQ(bytesOf(queued[0]), (std::vector<std::uint8_t>{9, 3, 60, 0, 0xBC, 0x02, 0, 0, 1, 1}));
    EXPECT_EQ(bytesOf(queued[1]), (std::vector<std::uint8_t>{9, 3, 60, 0, 0x8A, 0x02, 0, 0, 1, 1}));
    EXPECT_EQ(fileText(L"C:/QVR_Printers/12/Settings/OpenedParams.txt"), "15 Wait Before Feeding\r\n\r\n");
    const std::string saved = fileText(L"C:/QVR_Printers/12/Settings/MachineParameters.txt");
    EXPECT_EQ(saved.rfind("QVR Parameters File Version\r\n2.0\r\n\r\nQVR Machine ID\r\n12\r\n\r\n", 0), 0u);
    EXPECT_NE(saved.find(std::string("\r\n") + "Wait Before Feeding;Miliseconds to wait before feeding media when "
                                               "media-lower sensor turns on;ms\r\n650\r\n"),
              std::string::npos);
}

TEST_F(machineFoldersTest, StoredMachineParametersAreReadBackAndReloaded)
{
    const machineParam_t* wait = parameterAt(15);
    ASSERT_NE(wait, nullptr);
    std::vector<std::int32_t> image(::getDefaultParameterTable().begin(), ::getDefaultParameterTable().end());
    image[15] = 650;
    image[384 + 15] = 620;
    image[764] = 1 << 15;
    {
        scriptedDevice_t device;
        receive(device, statusWith(12, 7));
        receive(device, infoWithVersion(1120));
        device.storeMachineParameters(image.data());
        EXPECT_EQ(device.getParamValue(*wait), 650);
        EXPECT_EQ(device.getFactoryValue(*wait), 620);
        EXPECT_EQ(fileText(L"C:/QVR_Printers/12/Settings/OpenedParams.txt"), "15 Wait Before Feeding\r\n\r\n");
        EXPECT_NE(fileText(L"C:/QVR_Printers/12/Settings/Factory_Parameters.txt").find("\r\n620\r\n"), std::string::npos);
    }
    // A later session loads them when the machine first reports itself.
    ASSERT_TRUE(writeRawFile(L"C:/QVR_Printers/12/Settings/OpenedParams.txt",
                             "15 Wait Before Feeding\r\n40 First Tool X\r\n999 Feed upto trim\r\nx\r\n16 Z Move Speed\r\n"));
    scriptedDevice_t later;
    receive(later, statusWith(12, 7));
    receive(later, infoWithVersion(1120));
    EXPECT_EQ(later.getParamValue(*wait), 650);
    EXPECT_EQ(later.getFactoryValue(*wait), 620);
    std::int32_t memory[1024];
    later.getParameterMemory(memory);
    // Bits by the parameter's own index (6 found by name); reading stops at "x".
    EXPECT_EQ(memory[764], (1 << 15) | (1 << 6));
    EXPECT_EQ(memory[765], 1 << (40 - 32));
}

TEST_F(machineFoldersTest, EmptyModelIsWrittenWholeBeforeItIsHandedOver)
{
    scriptedDevice_t device;
    receive(device, statusWith(12, 7));
    ASSERT_TRUE(device.buildEmptyModel(1, 50, 0, 0));
    EXPECT_EQ(fileText(L"C:/QVR_Printers/12/EmptyModel.ZS"),
              "$ 0 0 0 0 0 0 -1000 168000 Empty_Model\r\n@ -1000\r\n#\r\n\r\n$\r\n");
    EXPECT_TRUE(device.queuedPackets().empty());
    ASSERT_EQ(device.modelFileCalls().size(), 1u);
    const scriptedDevice_t::modelFile_t call = device.modelFileCalls()[0];
    EXPECT_EQ(call.path, L"C:/QVR_Printers/12/EmptyModel.ZS");
    EXPECT_EQ(std::vector<std::int32_t>({call.kind, call.flag, call.copies, call.lastLayer, call.a, call.b}),
              std::vector<std::int32_t>({2, 1, 1, 1999, 0, 0}));
    EXPECT_TRUE(call.name.empty());
    EXPECT_TRUE(call.displayName.empty());

    receive(device, statusWith(12, 2));  // paused
    ASSERT_TRUE(device.buildEmptyModel(3, 300, 1, 2));
    EXPECT_EQ(fileText(L"C:/QVR_Printers/12/EmptyModel.ZS"),
              "$ 0 0 0 0 0 34 24000 168000 Empty_Model\r\n@ 24000\r\n#\r\n@ 24000\r\n#\r\n@ 24000\r\n#\r\n\r\n$\r\n");
    std::vector<std::vector<std::uint8_t>> queued;
    for (const packetBuffer_t& p : device.queuedPackets())
        queued.push_back(bytesOf(p));
    EXPECT_EQ(queued, (std::vector<std::vector<std::uint8_t>>{{1, 132}, {7, 157, 0, 0, 0, 0, 1, 2}}));
    EXPECT_EQ(device.modelFileCalls().size(), 2u);

    // A model that cannot be written is not built, old or new.
    std::filesystem::remove(linuxPathOf(L"C:/QVR_Printers/12/EmptyModel.ZS"));
    std::filesystem::create_directory(linuxPathOf(L"C:/QVR_Printers/12/EmptyModel.ZS"));
    scriptedDevice_t failing;
    receive(failing, statusWith(12, 7));
    EXPECT_FALSE(failing.buildEmptyModel(6, 50, 1, 1));
    EXPECT_TRUE(failing.queuedPackets().empty());
    EXPECT_TRUE(failing.modelFileCalls().empty());
    EXPECT_FALSE(std::filesystem::exists(linuxPathOf(L"C:/QVR_Printers/12/EmptyModel.ZS.tmp")));
}

TEST_F(machineFoldersTest, HistoryFileNamesAreDatedAndFree)
{
    scriptedDevice_t device;
    receive(device, statusWith(12, 7));
    const std::wregex pattern(LR"(C:/QVR_Printers/12/History/\d\d[A-Z][a-z]{2}\d\d_\d{4}(_2)?\.TXT)");
    // Retried when the minute changes between the two names.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::wstring first = device.getNewHistoryFilePath();
        ASSERT_TRUE(std::regex_match(first, pattern));
        ASSERT_TRUE(writeRawFile(first, "x"));
        const std::wstring second = device.getNewHistoryFilePath();
        const std::wstring base = first.substr(0, first.size() - 4);
        if (second.compare(0, base.size(), base) != 0)
            continue;
        EXPECT_EQ(second, base + L"_2.TXT");
        return;
    }
    FAIL() << "the minute kept changing";
}

TEST_F(machineFoldersTest, SlicerAndStatusProgramCommandLines)
{
    std::vector<std::wstring> started;
    setLauncherHook([&](const std::wstring& line) {
        started.push_back(line);
        return true;
    });
    scriptedDevice_t device;
    fileSendParams_t request;
    request.name = L"C:/m/part.zs";
    request.displayName = L"tech";
    request.setInteger(1, 2);
    request.setInteger(12, 1);
    EXPECT_TRUE(device.runSlicer(request, 3, true, 7));
    EXPECT_TRUE(device.runSlicer(request, 3, false, 7));
    EXPECT_TRUE(device.runStatusProgram(machineHostIDname_t(L"srv", 12, L"M", 0, 0), L"C:/x/part_tempQVRfile.zs"));
    EXPECT_TRUE(device.runStatusProgram(machineHostIDname_t(L"srv", 12, L"M", 0, 0), L""));
    EXPECT_TRUE(device.runStatusProgram(machineHostIDname_t(L"srv", 0, L"M", 0, 0), L"C:/x/y.zs"));
    setLauncherHook({});
    const std::wstring slicer = L"\"C:\\Program Files\\Corvanta\\Ondrel\\Ondrel.exe\"";
    const std::wstring status = L"\"C:\\Program Files\\Corvanta\\Ondrel\\Pirmelon.exe\"";
    EXPECT_EQ(started, (std::vector<std::wstring>{
                           slicer + L" -s \"C:/m/part.zs\" -m 3 -l 2 -o \"tech\" -t 1 -h 7 -q",
                           slicer + L" -s \"C:/m/part.zs\" -m 3 -l 2 -o \"tech\" -t 1 -h 7",
                           status + L" srv 12 \"C:/x/part\"",
                           status + L" srv 12",
                           status,
                       }));
}

}  // namespace
