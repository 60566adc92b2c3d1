// The motor word of the machine information (offset 30) as the Motors page
// reads it for one motor group (1 XY, 2 Z, 4 feeder): bit 8 + group is set
// while the group is powered; the low bit of the group's own number is a
// second state the printer reports, shown as an undecided power box.
#pragma once
#include <cstdint>

class motorPowerWord_t {
public:
    enum boxState_e { unchecked_e, checked_e, indeterminate_e };

    explicit motorPowerWord_t(std::uint16_t word) : word_(word) {}

    bool isPowered(int group) const { return bit(group + 8); }
    // The power byte that switches the group over: 0 (off) while it is
    // powered, 2 (on) while it is not.
    std::uint8_t toggledLevel(int group) const { return isPowered(group) ? 0 : 2; }
    // What the group's "Power OFF" box shows: checked while unpowered;
    // otherwise undecided when the group's low bit is set.
    boxState_e boxState(int group) const
    {
        if (!isPowered(group))
            return checked_e;
        return bit(group) ? indeterminate_e : unchecked_e;
    }

private:
    bool bit(int index) const { return index >= 0 && index < 16 && (word_ >> index & 1u) != 0; }

    std::uint16_t word_;
};
