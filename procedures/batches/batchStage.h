// One named step of a coded procedure and how far it got.
#pragma once
#include <string>

struct batchStage_t {
    std::wstring name;
    std::wstring statusText;  // what the Result column shows
    int state = 4;            // a stage status, or 4 while pending
};
