#include "standins/wendaro/wendaroNotice.h"

#include "machine/wstr.h"
#include "standins/wendaro/wendaroMessage.h"
#include "standins/wendaro/wendaroWords.h"

const wchar_t* wendaroNotice_t::word() const
{
    using namespace wendaroWords;
    switch (kind) {
    case kind_e::errorLog_e: return errorLogInfo;
    case kind_e::reopened_e: return reopened;
    case kind_e::queueChanged_e: return queueChanged;
    case kind_e::machineName_e: return machineName;
    case kind_e::embeddedVersion_e: return embeddedVersion;
    case kind_e::parameterMemory_e: return parameterMemory;
    case kind_e::newLog_e: return newLog;
    case kind_e::fileSender_e: return newFileSender;
    case kind_e::modelInfo_e: return newModelInfo;
    case kind_e::timeEstimate_e: return newTimeEstimate;
    case kind_e::pausingUser_e: return pausingUser;
    case kind_e::modelEnded_e: return modelEnded;
    case kind_e::logFileNames_e: return logFileNames;
    case kind_e::slicerOk_e: return slicerOk;
    case kind_e::slicerError_e: return slicerError;
    case kind_e::slicerStatus_e: return slicerStatus;
    case kind_e::disconnect_e: return wendaroWords::disconnect;
    }
    return wendaroWords::error;
}

void wendaroNotice_t::writeTo(wendaroMessage_t& message) const
{
    socketRequestStream_t& out = message.word(word());
    switch (kind) {
    case kind_e::errorLog_e:
        out << errorRecord;
        break;
    case kind_e::queueChanged_e:
        out << value1;
        break;
    case kind_e::machineName_e:
    case kind_e::pausingUser_e:
    case kind_e::slicerOk_e:
    case kind_e::slicerError_e:
    case kind_e::slicerStatus_e:
        out.writeString(text1);
        break;
    case kind_e::embeddedVersion_e:
    case kind_e::logFileNames_e:
        out.writeString(text1);
        out.writeString(text2);
        break;
    case kind_e::parameterMemory_e: {
        // Always the whole memory: the client reads 4096 bytes.
        std::vector<std::uint8_t> bytes = memory;
        bytes.resize(memoryBytes, 0);
        out.writeRaw(bytes.data(), bytes.size());
        break;
    }
    case kind_e::fileSender_e:
        out << fileInfo;
        break;
    case kind_e::modelInfo_e:
        out << modelInfo;
        break;
    case kind_e::timeEstimate_e:
        out << value1 << value2;
        break;
    case kind_e::disconnect_e:
        if (machine)
            out << *machine;
        else
            out << static_cast<const machineHostIDname_t*>(nullptr);
        break;
    case kind_e::reopened_e:
    case kind_e::newLog_e:
    case kind_e::modelEnded_e:
        break;
    }
}

wendaroNotice_t wendaroNotice_t::liveOf(kind_e kind)
{
    wendaroNotice_t notice;
    notice.kind = kind;
    notice.live = true;
    return notice;
}

wendaroNotice_t wendaroNotice_t::text(kind_e kind, std::wstring first, std::wstring second)
{
    wendaroNotice_t notice = of(kind);
    notice.text1 = std::move(first);
    notice.text2 = std::move(second);
    return notice;
}

wendaroNotice_t wendaroNotice_t::numbers(kind_e kind, std::uint32_t first, std::uint32_t second)
{
    wendaroNotice_t notice = of(kind);
    notice.value1 = first;
    notice.value2 = second;
    return notice;
}

wendaroNotice_t wendaroNotice_t::error(const errorHistory_t& record)
{
    wendaroNotice_t notice = of(kind_e::errorLog_e);
    notice.errorRecord = record;
    return notice;
}

wendaroNotice_t wendaroNotice_t::file(const fileInfo_t& info)
{
    wendaroNotice_t notice = of(kind_e::fileSender_e);
    notice.fileInfo = info;
    return notice;
}

wendaroNotice_t wendaroNotice_t::model(const qvrHostModelInfo_t& info)
{
    wendaroNotice_t notice = of(kind_e::modelInfo_e);
    notice.modelInfo = info;
    return notice;
}

wendaroNotice_t wendaroNotice_t::disconnect(std::optional<machineHostIDname_t> machine)
{
    wendaroNotice_t notice = of(kind_e::disconnect_e);
    notice.machine = std::move(machine);
    return notice;
}

wendaroNotice_t wendaroNotice_t::parameters(std::vector<std::uint8_t> memory)
{
    wendaroNotice_t notice = of(kind_e::parameterMemory_e);
    notice.memory = std::move(memory);
    return notice;
}

std::wstring wendaroNotice_t::versionText(std::uint16_t version)
{
    const unsigned hundredths = version / 10u;
    const unsigned fraction = hundredths % 100u;
    return L"E" + toStr(hundredths / 100u) + L"." + (fraction < 10 ? L"0" : L"") + toStr(fraction) + L"." +
           toStr(static_cast<unsigned>(version % 10u));
}
