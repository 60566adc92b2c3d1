// The run's user-function definitions in the order the script defines them,
// with the earliest definition of each name at hand for call binding (a
// script of many functions must not bind in quadratic time).
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class userFuncDefn_t;

class userFuncDefnList_t {
public:
    userFuncDefnList_t();
    ~userFuncDefnList_t();
    userFuncDefnList_t(const userFuncDefnList_t&) = delete;
    userFuncDefnList_t& operator=(const userFuncDefnList_t&) = delete;

    void append(std::unique_ptr<userFuncDefn_t> definition);
    // The earliest definition of the name, or none.
    userFuncDefn_t* find(const std::string& name) const;
    void clear();
    std::size_t size() const { return definitions_.size(); }
    userFuncDefn_t* at(std::size_t index) const { return definitions_[index].get(); }

private:
    std::vector<std::unique_ptr<userFuncDefn_t>> definitions_;
    std::unordered_map<std::string, userFuncDefn_t*> earliest_;
};
