// machineHostIDname_t: one machine reachable through a machines server (the
// greeting's machine list, "DISCONNECT", the machine search). A plain value
// type; its archive layout lives in link/exchangeArchive.h.
#pragma once
#include <cstdint>
#include <string>
#include <utility>

class machineHostIDname_t {
public:
    std::wstring host;
    int32_t machineID = 0;
    std::wstring machineName;
    int32_t value1 = 0;
    int32_t value2 = 0;

    machineHostIDname_t() = default;
    machineHostIDname_t(std::wstring host_, int32_t machineID_, std::wstring machineName_, int32_t value1_,
                        int32_t value2_)
        : host(std::move(host_)), machineID(machineID_), machineName(std::move(machineName_)),
          value1(value1_), value2(value2_) {}

    bool operator==(const machineHostIDname_t& other) const = default;
};
