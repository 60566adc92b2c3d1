#include "procedures/script/userFunc.h"

#include "procedures/script/batchStackGuard.h"

#include <stdexcept>

std::int32_t userFuncDefn_t::exec()
{
    throw std::logic_error("userFuncDefn_t::exec() should NOT be called");
}

userFuncExec_t::userFuncExec_t(std::string name, batchStmt_t* body) : batchFuncExec_t(std::move(name)), body_(body)
{
    for (auto& cell : cells_)
        cell = static_cast<std::int32_t>(0x80000000u);
}

std::int32_t userFuncExec_t::exec()
{
    // Each function can only call functions defined before it, so calls
    // cannot recurse; but a long chain of definitions nests as deep as the
    // script is long.
    batchStackGuard_t::check();
    struct restore_t {
        userFuncExec_t* previous = batchRunState_t::currentUserFunc;
        ~restore_t() { batchRunState_t::currentUserFunc = previous; }
    } restore;
    batchRunState_t::currentUserFunc = this;
    if (body_ != nullptr)
        body_->exec();
    return batchRunState_t::lastValue;
}

std::int32_t* userFuncExec_t::localCell(int index)
{
    if (index < 0 || index >= batchRunState_t::cellCount)
        return nullptr;
    return &cells_[index];
}
