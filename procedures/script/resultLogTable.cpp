#include "procedures/script/resultLogTable.h"

#include "machine/longnameStream.h"
#include "machine/textUtils.h"
#include "procedures/script/batchNumbers.h"

#include <map>
#include <memory>

namespace {

// Names compare byte by byte, so names that differ in case are different
// logs. A file that cannot be opened keeps a failed stream here and its
// values are lost, as the script asked for nothing else.
std::map<std::string, std::unique_ptr<longname_ofstream>> resultLogTable;
longname_ofstream* selectedResultLog = nullptr;
longname_ofstream* pendingResultLog = nullptr;

}  // namespace

void selectResultLog(const std::string& name)
{
    auto found = resultLogTable.find(name);
    if (found == resultLogTable.end()) {
        auto stream = std::make_unique<longname_ofstream>(strToWstr(name), std::ios_base::out | std::ios_base::trunc);
        found = resultLogTable.emplace(name, std::move(stream)).first;
    }
    selectedResultLog = found->second.get();
}

void clearResultLogSelection()
{
    selectedResultLog = nullptr;
    pendingResultLog = nullptr;
}

void resultLogAfterCall(std::int32_t value)
{
    if (pendingResultLog != nullptr) {
        *pendingResultLog << batchSignedText(value) << std::endl;
        clearResultLogSelection();
    }
    pendingResultLog = selectedResultLog;
}

void closeResultLogs()
{
    clearResultLogSelection();
    for (auto& entry : resultLogTable) {
        entry.second->flush();
        entry.second->close();
    }
    resultLogTable.clear();
}

std::size_t openResultLogCount()
{
    return resultLogTable.size();
}

bool resultLogPending()
{
    return pendingResultLog != nullptr;
}
