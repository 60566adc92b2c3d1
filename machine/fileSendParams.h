// fileSendParams_t: one model-file send or queue request, as handed to the
// machines server ("LOCALSLICEFILE", "REMOTEQVRFILE") and as listed in its
// build queue ("QUEUEINFO"). A plain value type; its archive layout lives in
// link/exchangeArchive.h.
//
// The nineteen integers are numbered 1 to 19 as the protocol numbers them;
// integer(n) reaches integer n. The two upload streams are the local file of a
// block upload; a copy (or a moved-to record) gets new, closed streams, and
// they never take part in comparisons or archives.
#pragma once
#include "machine/longnameStream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class fileSendParams_t {
public:
    static constexpr int integerCount = 19;

    // Numbers of the integers whose use is known (what the field
    // constructor puts there).
    enum integerNumber_e {
        copies_e = 1,
        secondFlagClear_e = 8, // 1 when the second extra flag is 0
        secondFlag_e = 12,
        lastLayer_e = 15,
        extraValue_e = 16,
        flag_e = 17,
        pending_e = 18, // set while the request waits for the device thread
        kind_e = 19,
    };

    std::wstring path;
    std::wstring displayName; // the user who sends the file
    std::wstring text3;
    std::wstring name;
    std::array<int32_t, integerCount> integers{}; // integers[0] is integer 1

    // Upload streams (opened by the block upload; closed otherwise).
    longname_ofstream uploadOutput;
    longname_ifstream uploadInput;

    // Integers 1, 0, ..., 0, 1999 (integer 15), 0, 0, 0, 2 (integer 19); empty texts.
    fileSendParams_t();
    // A request as sendModelFile builds it. An empty display name becomes
    // the user name of this session.
    fileSendParams_t(const std::wstring& path, int32_t kind, int32_t flag, const std::wstring& name,
                     int32_t copies, int32_t lastLayer, int32_t extraValue, int32_t secondFlag,
                     const std::wstring& displayName);
    // Copy the texts and the integers; the target's streams are new and
    // closed (an assignment closes the target's own). Moving does the same,
    // taking the texts over.
    fileSendParams_t(const fileSendParams_t& other);
    fileSendParams_t& operator=(const fileSendParams_t& other);
    fileSendParams_t(fileSendParams_t&& other) noexcept;
    fileSendParams_t& operator=(fileSendParams_t&& other) noexcept;
    ~fileSendParams_t() = default;

    // Integer n, 1 to 19 (std::out_of_range otherwise).
    int32_t integer(int number) const { return integers.at(static_cast<std::size_t>(number - 1)); }
    void setInteger(int number, int32_t value) { integers.at(static_cast<std::size_t>(number - 1)) = value; }

    // A request that names a bare file (no "\" and no "/" anywhere in the
    // path) means a file in the shared folder: the path becomes the shared
    // folder, "/" and the file name. Any other path is kept. Done on every
    // request read from a message.
    void resolveBarePath();

    // Texts and integers only.
    bool operator==(const fileSendParams_t& other) const;

private:
    void closeStreams() noexcept;
};
