#include "procedures/script/batchProgram.h"

#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/userFunc.h"
#include "procedures/script/userFuncDefnList.h"

batchStmtPtr_t parseProgram(batchTokenBuffer_t& tokens, userFuncDefnList_t& definitions)
{
    struct binding_t {
        const userFuncDefnList_t* previous = batchRunState_t::bindingDefinitions;
        ~binding_t() { batchRunState_t::bindingDefinitions = previous; }
    } binding;
    batchRunState_t::bindingDefinitions = &definitions;

    for (;;) {
        batchToken_t name = tokens.next();
        batchToken_t brace = tokens.next();
        if (!name.isIdentifier() || !brace.is(batchToken_t::leftBrace_e)) {
            tokens.putBack();
            tokens.putBack();
            break;
        }
        tokens.putBack();
        // Appended after its body is read: a body only sees the functions
        // defined before it, never itself.
        auto body = parseStatement(tokens);
        definitions.append(std::make_unique<userFuncDefn_t>(name.text(), std::move(body)));
    }
    return parseStatement(tokens);
}
