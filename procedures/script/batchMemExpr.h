// memory(I) reads and memory(I, V) writes a memory cell. I from -1 to -10 is
// global cell -I-1; I from 0 to 9 is a local cell of the running user
// function's call site, or a global cell outside every user function. Other
// indexes are outside the cells: they read 0 and writes are ignored.
#pragma once
#include "procedures/script/batchExpr.h"

class batchMemExpr_t : public batchExprBase_t {
public:
    std::int32_t evaluate() override;
    void print(std::ostream& out) const override;
    void parse(batchTokenBuffer_t& tokens) override;

    // The cell an index selects now, or none.
    static std::int32_t* cell(std::int32_t index);

private:
    batchExprPtr_t index_;
    batchExprPtr_t value_;
};
