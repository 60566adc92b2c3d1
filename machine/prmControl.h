// prmControl_t: the formatter that turns parameter values into the texts
// shown to the technician and typed text back into values. It reaches the
// device that is current at the time of each call (currentDevice.h) for
// current values, step sizes and writes; it owns nothing.
//
// Values that must end in an int go through the checked forms
// (parseValueToInt, stepsTextToValueInt): a result that does not fit 32 bits
// is refused (nothing) instead of wrapping.
#pragma once
#include "machine/units.h"

#include <cstdint>
#include <optional>
#include <string>

class machineParam_t;
class qvrCommDev_t;

class prmControl_t {
public:
    using deviceGetter_t = qvrCommDev_t* (*)();

    // Reaches the process's current device.
    prmControl_t();
    // Reaches the device that the getter returns (tests).
    explicit prmControl_t(deviceGetter_t getter);
    virtual ~prmControl_t();

    qvrCommDev_t* getDevice() const;

    // The text between the first and second ';' (or to the end); the name
    // when that is empty or the text has no ';'.
    static std::wstring description(const machineParam_t& param);
    // The text after the second ';' up to a further ';'; "number" when empty
    // or missing.
    static std::wstring unitOf(const machineParam_t& param);
    static std::wstring unitOf(const std::wstring& descriptorText);
    static bool isNano(const machineParam_t& param);
    static int axisOfUnit(const std::wstring& unit) { return ::axisOfUnit(unit); }
    static double parseNumber(const std::wstring& text) { return ::parseNumber(text); }
    static std::wstring nanoToMmText(std::int32_t value) { return ::nanoToMmText(value); }
    static std::int32_t mm3ToValue(double mm3) { return ::mm3ToValue(mm3); }
    static double valueToMm3(std::int32_t value) { return ::valueToMm3(value); }

    static std::wstring formatValue(const std::wstring& unit, std::int32_t value) {
        return formatUnitValue(unit, value);
    }
    // currentValueMark stands for the device's current value (the default
    // when there is no device).
    std::wstring formatParameter(const machineParam_t& param, std::int32_t value) const;

    // The typed text as a value of the parameter's unit: millimetres for a
    // length with an axis, seconds for "ms", mm^3 for "mm^3", a plain number
    // otherwise (a unit word after the number is ignored).
    static double parseValue(const machineParam_t& param, const std::wstring& text);
    // parseValue truncated toward zero; nothing when it does not fit 32 bits.
    // A "hex" text may name all 32 bits ("0xffffffff" is -1).
    static std::optional<std::int32_t> parseValueToInt(const machineParam_t& param, const std::wstring& text);

    // Asks the device to set the parameter, marked as opened when the value
    // differs from its current one. False when there is no device.
    bool setValue(const machineParam_t& param, std::int32_t value) const;

    // "[label]" for a unit with a label, else the unit itself.
    static std::wstring unitLabel(const machineParam_t& param);

    // Nanometres per motor step of an axis (0 X ... 4 Feeder): the device's
    // current "X Step Size" ... "Feeder Step Size"; 0 for any other axis or
    // without a device.
    std::int32_t stepSize(int axis) const;
    // For a length with an axis: the millimetres of the text's steps, or the
    // steps of the text's millimetres; any other text comes back unchanged.
    std::wstring stepsTextToMmText(const machineParam_t& param, const std::wstring& text) const;
    std::wstring mmTextToStepsText(const machineParam_t& param, const std::wstring& text) const;
    // For a length with an axis: the nanometres of the text's steps; else
    // parseValue.
    double stepsTextToValue(const machineParam_t& param, const std::wstring& text) const;
    std::optional<std::int32_t> stepsTextToValueInt(const machineParam_t& param,
                                                    const std::wstring& text) const;

private:
    deviceGetter_t getter_;
};
