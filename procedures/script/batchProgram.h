// A whole script: function definitions (NAME { ... }) while they last, then
// one main statement; nothing after it is read.
#pragma once
#include "procedures/script/batchRunState.h"
#include "procedures/script/batchStmt.h"
#include "procedures/script/userFuncDefnList.h"

class batchTokenBuffer_t;

// Appends the definitions to the list (which calls are bound against while
// parsing) and returns the main statement, or nothing when the input ends
// first.
batchStmtPtr_t parseProgram(batchTokenBuffer_t& tokens, userFuncDefnList_t& definitions);
