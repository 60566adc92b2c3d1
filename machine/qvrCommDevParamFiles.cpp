// The machine's parameters files (MachineParameters.txt, Factory_Parameters.txt,
// OpenedParams.txt): the device holds its lock and hands its memory to the
// parameters-file module, which knows the format.
#include "machine/longnameStream.h"
#include "machine/machineParam.h"
#include "machine/openedParams.h"
#include "machine/parametersFile.h"
#include "machine/qvrCommDev.h"
#include "machine/textFileIo.h"
#include <algorithm>
#include <span>

bool qvrCommDev_t::writeParametersFile(const std::wstring& path, const std::int32_t* memory,
                                       const std::wstring& comment)
{
    // The glue form is decided once for the whole write.
    const bool compact = isEmbeddedVersionAtLeast1120();
    lockGuard_t guard(lock);
    const std::span<const std::int32_t> image(memory != nullptr ? memory : parameters, memoryWords);
    return ::writeParametersFile(path, image, status.machineID(), compact, comment);
}

std::wstring qvrCommDev_t::readParametersFile(const std::wstring& path, std::int32_t* memory, std::wstring* comment)
{
    const bool compact = isEmbeddedVersionAtLeast1120();
    lockGuard_t guard(lock);
    const std::span<std::int32_t> image(memory != nullptr ? memory : parameters, memoryWords);
    // Into the device's own memory the profiles replace its list; into an
    // image they land in the image only.
    return ::readParametersFile(path, image, compact, memory != nullptr ? nullptr : &glueProfiles, comment);
}

std::wstring qvrCommDev_t::readWholeParametersFile(const std::wstring& path, std::int32_t* memory)
{
    const bool compact = isEmbeddedVersionAtLeast1120();
    return ::readWholeParametersFile(path, std::span<std::int32_t>(memory, memoryWords), compact);
}

bool qvrCommDev_t::saveParametersFile() { return writeParametersFile(getParametersFilePath(), nullptr, L""); }

bool qvrCommDev_t::saveOpenedParams()
{
    const std::wstring path = getOpenedParamsPath();
    lockGuard_t guard(lock);
    return replaceTextFile(path, openedParamsText(std::span<const std::int32_t>(parameters, memoryWords)));
}

void qvrCommDev_t::storeMachineParameters(const std::int32_t* memory)
{
    const bool compact = isEmbeddedVersionAtLeast1120();
    const std::wstring parametersPath = getParametersFilePath();
    const std::wstring factoryPath = getFactoryParametersPath();
    {
        lockGuard_t guard(lock);
        // A copy, so that a caller's image may be the current memory itself.
        std::vector<std::int32_t> source(memory != nullptr ? memory : machineParameters,
                                         (memory != nullptr ? memory : machineParameters) + memoryWords);
        const std::uint32_t machineNumber = status.machineID();
        ::writeParametersFile(parametersPath, source, machineNumber, compact, L"");
        if (compact) {
            ::writeParametersFile(factoryPath, std::span<const std::int32_t>(source).subspan(factoryBlockWord),
                                  machineNumber, true, L"");
        } else {
            // Without a factory block the factory values are the built-in
            // defaults, whose glue table is in the compact form.
            ::writeParametersFile(factoryPath, ::getDefaultParameterTable(), machineNumber, true, L"");
        }
        std::copy(source.begin() + openedBitmapWord, source.begin() + openedBitmapWord + 4,
                  parameters + openedBitmapWord);
    }
    // Read back, so that the current memory holds exactly what the files say.
    readParametersFile(parametersPath, nullptr, nullptr);
    if (compact) {
        lockGuard_t guard(lock);
        ::readParametersFile(factoryPath,
                             std::span<std::int32_t>(parameters + factoryBlockWord, memoryWords - factoryBlockWord),
                             true, nullptr, nullptr);
    }
    saveOpenedParams();
}

void qvrCommDev_t::loadMachineParameters()
{
    const bool compact = isEmbeddedVersionAtLeast1120();
    const std::wstring factoryPath = getFactoryParametersPath();
    const std::wstring openedPath = getOpenedParamsPath();
    readParametersFile(getParametersFilePath(), nullptr, nullptr);
    lockGuard_t guard(lock);
    if (compact) {
        ::readParametersFile(factoryPath,
                             std::span<std::int32_t>(parameters + factoryBlockWord, memoryWords - factoryBlockWord),
                             true, nullptr, nullptr);
    }
    basic_longname_ifstream<char> opened(openedPath);
    if (opened.is_open()) {
        readOpenedParams(opened, std::span<std::int32_t>(parameters, memoryWords));
    } else {
        for (std::int32_t w = 0; w < 4; ++w)
            parameters[openedBitmapWord + w] = 0;
    }
}
