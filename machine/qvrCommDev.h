// qvrCommDev_t: the machine device. A basicComm_t that speaks the printer's
// packet protocol: it polls the status, packs commands into packets and
// queues them, runs the stop-and-wait exchange (one packet in flight; the
// next leaves only when the reply to the front has been handled), watches
// the request in flight with a reply time-out, keeps the machine's records
// and two copies of the 1024-word parameter memory, and reads and writes that
// memory with commands 5, 3 and 8.
//
// It owns no transport: a derived device supplies sendPending (and usually
// waitForInput and close) and feeds each received reply in as the queue's
// current packet, then signals inputArrived.
//
// Every field is guarded by the shared lock; the getters copy under it.
#pragma once
#include "machine/basicComm.h"
#include "machine/fileInfo.h"
#include "machine/fileSendParams.h"
#include "machine/glueProfile.h"
#include "machine/machineInfo.h"
#include "machine/machineStatus.h"
#include "machine/messageTable.h"
#include "machine/qvrHostModelInfo.h"
#include "machine/toolInfo.h"
#include "platform/posixFile.h"
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class machineParam_t;
class machineHostIDname_t;

class qvrCommDev_t : public basicComm_t {
public:
    static constexpr std::int32_t memoryWords = 1024;
    static constexpr std::int32_t memoryBytes = 4096;
    static constexpr std::int32_t readChunkBytes = 60;    // command 5
    static constexpr std::int32_t writeChunkBytes = 56;   // command 8
    static constexpr std::int32_t commandPacketCapacity = 64;
    static constexpr std::int32_t defaultPollInterval = 350;
    static constexpr std::uint32_t replyTimeoutNotConnected = 2000;
    static constexpr std::uint32_t replyTimeoutConnected = 5000;
    static constexpr std::uint32_t replyTimeoutTechnicianMode = 60000;
    static constexpr std::int32_t factoryBlockWord = 384;
    static constexpr std::int32_t openedBitmapWord = 764;
    static constexpr std::int32_t toolTableWord = 128;
    static constexpr std::int32_t glueTableWord = 160;

    qvrCommDev_t(HWND ownerWindow, std::uint32_t tickPeriod, sharedLock_t& lock);
    ~qvrCommDev_t() override;

    // --- the loop (device thread) ---------------------------------------
    void onStart() override;
    void onTick() override;
    bool step() override;
    void reset() override;
    // Queues [length][code][payload] (a duplicate waiting behind the front is dropped).
    void sendPacket(const packetBuffer_t& packet) override;
    bool open() override;

    // Clears the awaited flag, then sendPending.
    virtual void resumeSending();
    // Dispatches a received packet by its type (byte 0).
    virtual void onPacket(const packetBuffer_t& reply);
    // True (and cleared) when inputArrived is set; does not wait.
    virtual bool waitForInput();
    // Queues command 1; every third poll also command 12.
    virtual void poll();
    // Called when the loop ends.
    virtual void close();
    virtual void onStatusBit0();
    virtual void onStatusBit13Clear();
    // The awaited reply did not come in time.
    virtual void onLinkTimeout() = 0;
    // A received packet does not answer the front request (which goes out again).
    virtual void onReplyMismatch();
    virtual bool acceptNewMachine();
    virtual void onModelInfo(const packetBuffer_t& reply);    // type 8
    virtual void onStatus(const packetBuffer_t& reply);       // type 1
    virtual void onStatusReply(const packetBuffer_t& reply);  // type 13
    // Creates the machine's folders when its ID is known.
    virtual void createFoldersIfIdKnown();
    virtual void onMachineInfo(const packetBuffer_t& reply);     // type 11
    virtual void onParameterChunk(const packetBuffer_t& reply);  // type 7
    virtual void onParametersRead();                             // notification 108
    virtual void onPacket10(const packetBuffer_t& reply);
    virtual void onPacket3(const packetBuffer_t& reply);
    virtual void onPacket12(const packetBuffer_t& reply);
    virtual void onPacket6(const packetBuffer_t& reply);
    virtual void onLayerRecord(const packetBuffer_t& reply);  // type 9
    virtual void setMachineName(const std::wstring& name) = 0;
    virtual void setEmbeddedVersionText(const std::wstring& text) = 0;
    virtual std::wstring accessModeText() = 0;
    std::wstring getAccessModeText() { return accessModeText(); }
    virtual void stopSlicing() = 0;
    virtual void sendModelFile(const std::wstring& path, std::int32_t kind, std::int32_t flag,
                               const std::wstring& name, std::int32_t copies, std::int32_t lastLayer,
                               std::int32_t a, std::int32_t b, const std::wstring& displayName) = 0;
    virtual bool isSameMachine(const machineHostIDname_t& machine) = 0;

    // Handles the reply that waits as the queue's current packet.
    void handleReply();

    // --- sending (any thread) ------------------------------------------------
    // A packet with the code byte and the payload's bytes.
    void sendCommand(std::uint8_t code, const packetBuffer_t* payload = nullptr);
    // Up to two typed arguments: type 1 a byte, 2 the low 16 bits, 4 all 32
    // bits; any other type adds nothing.
    void sendCommandArgs(std::uint8_t code, std::int32_t type1 = 0, std::int32_t value1 = 0,
                         std::int32_t type2 = 0, std::int32_t value2 = 0);
    // int32 x, int32 y, byte size, byte length, the text in the code page;
    // nothing when the narrowed text has 53 characters or more.
    static void appendTextPayload(packetBuffer_t& packet, std::int32_t x, std::int32_t y,
                                  std::int32_t size, const std::wstring& text);
    void sendByteCommand15(std::uint8_t value);
    void sendByteCommand152(std::uint8_t value);
    // False while building or paused; otherwise queues command 133.
    bool requestCommand133();
    void setPollInterval(std::int32_t ms);

    // --- parameter memory (each under the lock) ---------------------------------
    std::int32_t getParamValue(const machineParam_t& param);
    void setParameterWord(std::int32_t index, std::int32_t value);
    // Copies all 1024 words of the current memory.
    void getParameterMemory(std::int32_t* out1024);
    // Copies all 1024 words of the copy last read from the machine.
    void getMachineParameterMemory(std::int32_t* out1024);
    // Copies bytes into the current memory from that word on (clipped at its end).
    void copyIntoParameters(std::int32_t wordIndex, const void* data, std::int32_t byteCount);
    std::int32_t getFactoryValue(const machineParam_t& param);
    static std::int32_t getDefaultValue(std::int32_t index);
    static const std::int32_t* getDefaultParameterTable();
    const machineParam_t* findParameter(std::int32_t index, const std::wstring& name);

    void requestParameters();
    void requestParameterChunk(std::int32_t offset);
    void restartReadIfActive();
    bool isParameterReadActive();
    void sendParameter(std::int32_t index, std::int32_t value, std::uint8_t flag, bool markOpened);
    // Stores and logs a changed value, then always sends it and saves the file.
    void setParameter(const machineParam_t& param, std::int32_t value, bool markOpened);
    void sendParameterOf(const machineParam_t& param, bool markOpened);
    void sendParameterAt(std::int32_t index, bool markOpened);
    void sendAllParameters();
    void writeParameterBlock(std::int32_t wordIndex, std::int32_t byteCount, const void* data);
    // Sets the opened bit of the index; saves the opened list when it was clear and save is set.
    std::int32_t markOpened(std::int32_t index, std::int32_t value, bool save);

    // Tool and glue tables ("memory" null: the current memory).
    void getToolTable(toolInfo_t* out12, const std::int32_t* memory = nullptr);
    void setToolTable(const toolInfo_t* tools12, std::int32_t* memory = nullptr);
    void sendToolTable(const toolInfo_t* tools12 = nullptr);
    void sendToolTableAndSave(const toolInfo_t* tools12);
    // The whole glue region as the machine stores it, in the form of the
    // embedded version: 1024 bytes (compact) or 2048 bytes (full).
    void getGlueTable(std::vector<std::uint8_t>& out, const std::int32_t* memory = nullptr);
    // Copies a whole region back. A table of the other form's size would be
    // misread field by field, so it is refused (false, memory untouched).
    bool setGlueTable(std::span<const std::uint8_t> table, std::int32_t* memory = nullptr);
    std::vector<glueProfile_t> getGlueProfiles();
    void setGlueProfiles(const std::vector<glueProfile_t>& profiles, bool save);
    void setGlueProfile(const glueProfile_t& profile, bool save);
    void sendGlueProfiles();

    // Parameters files of the machine's Settings folder.
    bool writeParametersFile(const std::wstring& path, const std::int32_t* memory, const std::wstring& comment);
    std::wstring readParametersFile(const std::wstring& path, std::int32_t* memory, std::wstring* comment);
    // A file that is to replace the machine's parameters, into a caller's
    // 1024-word image: applied only when what it holds reads cleanly (the
    // parameters it does not hold keep the image's values); else the image
    // is untouched and the text says what was wrong and where.
    std::wstring readWholeParametersFile(const std::wstring& path, std::int32_t* memory);
    // Writes the memory (the current one when null) into the machine's
    // parameters files and reads them back; the loading reads them into the
    // memories. Virtual, as the version file below, so that a device that
    // keeps no files (a fuzzing harness) can replace them.
    virtual void storeMachineParameters(const std::int32_t* memory = nullptr);
    virtual void loadMachineParameters();
    bool saveParametersFile();
    bool saveOpenedParams();

    // --- records and texts (each under the lock) --------------------------------
    machineStatus_t getStatus();
    machineInfo_t getMachineInfo();
    qvrHostModelInfo_t getModelInfo();
    fileInfo_t getFileInfo();
    std::int32_t getMachineState();
    std::uint32_t getMachineID();
    std::int32_t getCurrentTool();
    std::wstring getMachineName();
    std::wstring getEmbeddedVersionText();
    std::wstring getPausingUser();
    std::vector<fileSendParams_t> getBuildQueue();
    bool isBuilding();
    bool isModelEnd();
    bool isAxisFlagSet(std::int32_t axis);
    bool isDOORopen();
    std::int32_t getStatusByte34();
    // Remaining seconds of the build; total and percent where asked.
    std::int32_t getBuildTimeEstimate(std::int32_t* total, std::int32_t* percent);
    bool isEmbeddedVersionAtLeast1120();
    std::wstring getStatusText();
    std::wstring getActivityText();
    std::wstring getMessageText(std::int32_t code) const { return messages.getMessageText(code); }
    const messageTable_t& getMessages() const { return messages; }

    // Motor steps and millimetres by axis (0 X, 1 Y, 2 Z, 3 Pump, 4 Feeder).
    double axisStepsToMm(std::int32_t axis, std::int32_t steps);
    std::int32_t axisMmToSteps(std::int32_t axis, double mm);

    // --- machine folders and files -------------------------------------------
    std::wstring getBaseFolderOfDevice();
    void createMachineFolders();
    std::wstring getMachineFolder();
    std::wstring getSettingsFolder();
    std::wstring getHistoryFolder();
    std::wstring getMachineReportPath();
    std::wstring getParametersFilePath();
    std::wstring getFactoryParametersPath();
    std::wstring getOpenedParamsPath();
    std::wstring getUpdatesPath();
    std::wstring getEmbeddedVersionPath();
    std::wstring getModelsHistoryPath();
    std::wstring getLastFilenamePath();
    std::wstring getNewHistoryFilePath();
    void logParameterChange(const machineParam_t& param, std::int32_t oldValue);
    // Writes the empty model and hands it over; false (nothing queued) when
    // the file could not be written.
    bool buildEmptyModel(std::int32_t layers, std::int32_t lengthMm, std::uint8_t c, std::uint8_t d);
    bool runSlicer(const fileSendParams_t& request, std::int32_t m, bool q, std::int32_t h);
    bool runStatusProgram(const machineHostIDname_t& machine, const std::wstring& filePath);

protected:
    // A new machine ID arrived in a status record.
    void onMachineIdChanged(std::uint32_t oldId);
    // Posts 102/105/107 with the in-flight command code in bits 16 to 23.
    void notifyWithFrontCode(std::int32_t baseCode);
    std::wstring machineFolderLocked();
    // Keeps the version in the machine's EmbeddedVersion.txt for offline use.
    virtual void rememberEmbeddedVersion(std::uint16_t version);
    std::int32_t replyTimeout();

    messageTable_t messages;
    std::wstring baseFolder;
    std::int32_t pollInterval = defaultPollInterval;
    std::uint32_t pollStamp = 0;
    std::int32_t requestedOffset = -1;
    bool rereadDeferred = false;
    std::int32_t pollCount = 0;
    bool state11Reported = false;
    machineStatus_t status;
    machineInfo_t info;
    qvrHostModelInfo_t modelInfo;
    fileInfo_t fileInfo;
    std::wstring machineName;
    std::wstring pausingUser;
    std::wstring embeddedVersionText;
    std::vector<fileSendParams_t> buildQueue;
    std::int32_t timeEstimate[2] = {0, 0};
    bool machineInfoPending = true;
    std::vector<glueProfile_t> glueProfiles;
    std::int32_t parameters[memoryWords];
    std::int32_t machineParameters[memoryWords];
    // The queue entry of the last packet that sendPacket queued (or of the
    // equal one already waiting). A caller that clears lastQueued and sends
    // while it holds the lock learns which entry its command is.
    std::uint64_t lastQueuedEntry = 0;
    bool lastQueued = false;
    // The version file as last read while the machine's version was unknown:
    // its path, its stamp then and the answer it gave.
    struct versionFileAnswer_t {
        bool valid = false;
        std::wstring path;
        fileStamp_t stamp;
        bool atLeast1120 = true;
    } versionFileAnswer;
};
