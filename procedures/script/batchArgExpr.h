// arg(N): argument N (from 0) of the running user function's current call.
// Outside every user function, or past the call's arguments, it reads 0.
#pragma once
#include "procedures/script/batchExpr.h"

class batchArgExpr_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;

private:
    int index_ = 0;
};
