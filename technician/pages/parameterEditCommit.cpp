#include "technician/pages/parameterEditCommit.h"

#include "machine/baseParamHandle.h"

#include <locale>
#include <sstream>

parameterEditCommit_t decideParameterEdit(const baseParamHandle_t& row, std::int32_t currentValue,
                                          const std::wstring& typed)
{
    parameterEditCommit_t commit;
    std::wistringstream in(typed);
    in.imbue(std::locale::classic());
    double number = 0.0;
    if (!(in >> number))
        return commit;
    // A value beyond 32 bits would reach the machine wrapped.
    if (!row.valueFromText(typed))
        return commit;
    const std::int32_t newValue = row.valueFrom(nullptr, typed);
    if (!row.isChanged(currentValue, newValue)) {
        commit.action = parameterEditCommit_t::close_e;
        return commit;
    }
    commit.action = parameterEditCommit_t::ask_e;
    commit.question = L"Change value of " + row.name() + L" from " + row.formatValue(currentValue) + L" to " +
                      row.formatValue(newValue) + L"?";
    return commit;
}
