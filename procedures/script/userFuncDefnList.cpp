#include "procedures/script/userFuncDefnList.h"

#include "procedures/script/userFunc.h"

userFuncDefnList_t::userFuncDefnList_t() = default;

userFuncDefnList_t::~userFuncDefnList_t() = default;

void userFuncDefnList_t::append(std::unique_ptr<userFuncDefn_t> definition)
{
    earliest_.emplace(definition->callName(), definition.get());  // keeps an earlier one
    definitions_.push_back(std::move(definition));
}

userFuncDefn_t* userFuncDefnList_t::find(const std::string& name) const
{
    auto found = earliest_.find(name);
    return found == earliest_.end() ? nullptr : found->second;
}

void userFuncDefnList_t::clear()
{
    earliest_.clear();
    definitions_.clear();
}
