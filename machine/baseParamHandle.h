// One editable row of the parameter list: it names, describes, shows,
// compares, reads from text and writes back one value, whatever that value
// is stored as. Values passing through a handle are ints in the value's
// stored unit (nanometres for lengths). The page owns its handles; each
// points to the page's prmControl_t, which it does not own.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

class prmControl_t;

class baseParamHandle_t {
public:
    explicit baseParamHandle_t(prmControl_t* control) : control_(control) {}
    virtual ~baseParamHandle_t() = default;
    baseParamHandle_t(const baseParamHandle_t&) = delete;
    baseParamHandle_t& operator=(const baseParamHandle_t&) = delete;

    virtual std::wstring name() const = 0;
    virtual std::wstring description() const = 0;
    // currentValueMark (units.h) shows the current value.
    virtual std::wstring formatValue(std::int32_t value) const = 0;
    virtual std::int32_t factoryValue() const = 0;
    virtual std::wstring formatFactoryValue() const = 0;
    // Writes the typed value to the device (which sends it to the machine and
    // saves the parameters file). False, and nothing sent, when the text's
    // value does not fit where it is stored or there is no device.
    virtual bool setFromText(const std::wstring& text) = 0;
    // Writes a value as it is stored (no round trip through a shown text,
    // which keeps six digits and shows some lengths in another unit than it
    // reads them back). False, and nothing sent, as for setFromText.
    virtual bool setValue(std::int32_t value) = 0;
    // Stores the value into a 1024-word image.
    virtual void storeInArray(std::span<std::int32_t> words, std::int32_t value) const = 0;
    // From the image when given; else the current value for an empty text;
    // else the text's value (0 when it is no number or does not fit).
    virtual std::int32_t valueFrom(const std::int32_t* words, const std::wstring& text) const = 0;
    // The text's value, or nothing when it does not fit where it is stored:
    // an editor treats that like text that does not read.
    virtual std::optional<std::int32_t> valueFromText(const std::wstring& text) const = 0;
    virtual bool isChanged(std::int32_t a, std::int32_t b) const { return micronsDiffer(a, b); }

    bool hasSameName(const baseParamHandle_t& other) const { return name() == other.name(); }
    // (a + 500) / 1000 and (b + 500) / 1000 differ (micron resolution,
    // truncating division).
    static bool micronsDiffer(std::int32_t a, std::int32_t b) {
        return (static_cast<std::int64_t>(a) + 500) / 1000 != (static_cast<std::int64_t>(b) + 500) / 1000;
    }

protected:
    prmControl_t* control_;
};
