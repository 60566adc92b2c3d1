// Functions a script defines at its top (NAME { ... }). A definition is
// never called itself; each call site gets its own userFuncExec_t, which runs
// the definition's body and keeps ten local memory cells of its own.
#pragma once
#include "procedures/script/batchFuncExec.h"
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchStmt.h"

#include <cstdint>

class userFuncDefn_t : public batchFuncExec_t {
public:
    userFuncDefn_t(std::string name, batchStmtPtr_t body)
        : batchFuncExec_t(std::move(name)), body_(std::move(body))
    {
    }
    // Raises the logic error "userFuncDefn_t::exec() should NOT be called".
    std::int32_t exec() override;
    batchStmt_t* body() const { return body_.get(); }

private:
    batchStmtPtr_t body_;
};

class userFuncExec_t : public batchFuncExec_t {
public:
    userFuncExec_t(std::string name, batchStmt_t* body);
    // Runs the body with this call current; the result is the script's last
    // value afterwards.
    std::int32_t exec() override;

    // Local cell I (0..9), or none outside the cells.
    std::int32_t* localCell(int index);

private:
    batchStmt_t* body_;  // the definition's, not owned
    std::int32_t cells_[batchRunState_t::cellCount];
};
