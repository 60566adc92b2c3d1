// What an arrow button asks of the dialog it sits on: a relative move for
// the button's id. The Motors page implements it; on any other parent an
// arrow button does nothing but its default handling.
#pragma once

class relativeMoveTarget_t {
public:
    virtual ~relativeMoveTarget_t() = default;
    virtual void moveRelative(int buttonId) = 0;
};
