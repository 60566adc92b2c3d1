// A call in a script: NAME ( ARGUMENTS ). The call is bound once, while it is
// parsed: to the earliest user function of that name defined so far, else to
// the built-in of that name, else to the default function. Around each call
// the runner's stop checks, result logs and trace take place.
#pragma once
#include "procedures/script/batchExpr.h"
#include "procedures/script/batchFuncExec.h"

#include <memory>
#include <vector>

class batchFuncExpr_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;
    bool printsBare() const override { return true; }

    batchFuncExec_t* function() const { return function_.get(); }
    int line() const { return line_; }

private:
    std::vector<batchExprPtr_t> arguments_;
    std::unique_ptr<batchFuncExec_t> function_;
    int line_ = 0;
};
