// The words of the machines-server protocol, spelt once for the stand-in
// server. The client reads a server message word by word: first the words
// that may only stand first and alone, then the chained notices in one fixed
// order, then at most one terminal word (see wendaroNotice.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace wendaroWords {

// Whether a word read from a message is the given one: the lengths are
// compared first, and they mostly differ.
inline bool isWord(std::wstring_view word, std::wstring_view known) { return word == known; }

// Greeting and its answers.
inline constexpr wchar_t greeting[] = L"BrevanquillorMachinesServer";
inline constexpr wchar_t controlConnect[] = L"QVRcontrolConnect";
inline constexpr wchar_t normalConnect[] = L"QVRnormalConnect";

// Machine commands and replies.
inline constexpr wchar_t command[] = L"CMND";
inline constexpr wchar_t reply[] = L"RESP";
inline constexpr wchar_t waitForConnection[] = L"WAITFORCONNECTION";
inline constexpr wchar_t deviceNotConnected[] = L"DEVICENOTCONNECTED";

// Words that stand first and alone in a server message.
inline constexpr wchar_t wrongPassword[] = L"WRONGPASSWORD";
inline constexpr wchar_t logFileNames[] = L"GETLOGFILENAMES";
inline constexpr wchar_t machineLogData[] = L"MACHINELOGDATA";

// Chained notices.
inline constexpr wchar_t errorLogInfo[] = L"ERRORLOGINFO";
inline constexpr wchar_t reopened[] = L"HASREOPENEDRESP";
inline constexpr wchar_t queueChanged[] = L"HASQUEUECHANGEDRESP";
inline constexpr wchar_t machineName[] = L"SENDMACHINENAME";
inline constexpr wchar_t embeddedVersion[] = L"SENDEMBEDDEDVERSIONSTRING";
inline constexpr wchar_t parameterMemory[] = L"SENDNVM";
inline constexpr wchar_t newLog[] = L"HASNEWLOGRESP";
inline constexpr wchar_t newFileSender[] = L"HASNEWFILESENDER";
inline constexpr wchar_t newModelInfo[] = L"HASNEWMODELINFO";
inline constexpr wchar_t newTimeEstimate[] = L"HASNEWTIMEEST";
inline constexpr wchar_t pausingUser[] = L"PAUSEMACHINEUSER";
inline constexpr wchar_t modelEnded[] = L"MODELHASENDED";

// Terminal words (both directions where the client sends them too).
inline constexpr wchar_t cancelBuild[] = L"CANCELBUILD";
inline constexpr wchar_t queueInfo[] = L"QUEUEINFO";
inline constexpr wchar_t fileSenderInfo[] = L"FILESENDERINFO";
inline constexpr wchar_t sendFileBlock[] = L"SENDQVRFILEBLOCK";
inline constexpr wchar_t finishFileSend[] = L"FINISHQVRFILESEND";
inline constexpr wchar_t slicerOk[] = L"SLICERSERVEROK";
inline constexpr wchar_t slicerError[] = L"SLICERSERVERERROR";
inline constexpr wchar_t slicerStatus[] = L"SLICERSERVERSTATUS";
inline constexpr wchar_t addedFileIndex[] = L"ADDEDFILEINDEX";
inline constexpr wchar_t removeFromQueue[] = L"REMOVEFROMQUEUE";
inline constexpr wchar_t disconnect[] = L"DISCONNECT";
inline constexpr wchar_t noPermission[] = L"NOPERMISSION";
inline constexpr wchar_t error[] = L"ERROR";
inline constexpr wchar_t addFileError[] = L"ADDFILEERROR";
// Defined by the system and tested by nobody: the neutral acknowledgement.
inline constexpr wchar_t ok[] = L"OK";

// Client requests.
inline constexpr wchar_t localSliceFile[] = L"LOCALSLICEFILE";
inline constexpr wchar_t remoteFile[] = L"REMOTEQVRFILE";
inline constexpr wchar_t timeEstimate[] = L"SLICERSERVERTIMEEST";
inline constexpr wchar_t stopSlicing[] = L"SLICEFILESTOP";
inline constexpr wchar_t moveFileToMachine[] = L"MOVEFILETOMACHINE";
inline constexpr wchar_t copyFileToMachine[] = L"COPYFILETOMACHINE";
inline constexpr wchar_t closeMasterProgram[] = L"CLOSEMASTERPROGRAM";
inline constexpr wchar_t pauseQueue[] = L"PAUSEQUEUE";
inline constexpr wchar_t resumeQueue[] = L"RESUMEQUEUE";
inline constexpr wchar_t buildPartialModel[] = L"BUILDPARTIALMODEL";
inline constexpr wchar_t moveFileInQueue[] = L"MOVEFILEINQUEUE";
inline constexpr wchar_t clearQueue[] = L"CLEARQUEUE";
inline constexpr wchar_t createDumpFile[] = L"CREATEDUMPFILE";
inline constexpr wchar_t textMessage[] = L"TEXTMESSAGE";
inline constexpr wchar_t password[] = L"PASSWORD";

// The client announces this version in its greeting answer; a greeting
// version A above it is refused by the client.
inline constexpr double clientVersion = 12.0;

// Every message of the protocol fits one receive of the client.
inline constexpr std::size_t maxMessageBytes = 32768;
// The client keeps at most this many raw bytes of a "RESP".
inline constexpr std::size_t maxReplyPacketBytes = 64;
// One upload block, except the last.
inline constexpr std::uint32_t uploadBlockBytes = 31743;

}  // namespace wendaroWords
