// The script names of the 64 built-in functions in the order they are
// registered. Each registration links its entry at the head of the list, so
// the list runs from the last name here ("resultLog") to the first.
#pragma once

constexpr const char* batchBuiltinOrder[] = {
    "micronsUnits", "stepsUnits", "moveXYby", "moveXYto", "moveXto", "moveYto", "moveZto", "moveFEEDERto",
    "movePumpTo", "movePumpBy", "moveXby", "moveYby", "moveZby", "moveFEEDERby", "FeedIronTrim", "FeedLayer",
    "IronLayer", "TrimLayer", "messageBox", "beep", "valveDCon", "valveDCoff", "modelHeight", "hookIron",
    "unhookIron", "sleepMsec", "arc", "isXhome", "isYhome", "isZhome", "isIRONhome", "isPumpHome",
    "isFEEDERhome", "homeX", "homeZ", "homePump", "homeFEEDER", "clearX", "clearY", "clearZ",
    "clearPump", "clearFEEDER", "isIRONup", "hasLowerMedia", "hasUpperMedia", "penUP", "penDOWN", "isPenUP",
    "isPenDOWN", "isROLLtooth", "isDOORopen", "isDOORthrown", "logicalTOOL", "physicalTOOL", "drawRectWithAngle",
    "errorNumber", "changeTOOL", "returnTOOL", "resetCounter", "increaseCounter", "printCounterEvery", "rand",
    "sqrt", "resultLog",
};

constexpr int batchBuiltinCount = static_cast<int>(sizeof batchBuiltinOrder / sizeof batchBuiltinOrder[0]);
static_assert(batchBuiltinCount == 64);
