#include "standins/wendaro/wendaroFaults.h"

int wendaroFaults_t::add(const wendaroFaultRule_t& rule)
{
    std::lock_guard<std::mutex> guard(mutex_);
    entry_t entry;
    entry.id = nextId_++;
    entry.rule = rule;
    rules_.push_back(entry);
    return entry.id;
}

void wendaroFaults_t::clear()
{
    std::lock_guard<std::mutex> guard(mutex_);
    rules_.clear();
}

std::optional<wendaroFaults_t::match_t> wendaroFaults_t::match(const request_t& request)
{
    std::lock_guard<std::mutex> guard(mutex_);
    for (entry_t& entry : rules_) {
        const wendaroFaultRule_t& rule = entry.rule;
        if (rule.connection != 0 && rule.connection != request.connection)
            continue;
        if (rule.machine != 0 && rule.machine != request.machine)
            continue;
        if (!rule.word.empty() && rule.word != request.word)
            continue;
        if (rule.command >= 0 && rule.command != request.command)
            continue;
        if (rule.firstPayloadByte >= 0 && rule.firstPayloadByte != request.firstPayloadByte)
            continue;
        if (rule.state >= 0 && rule.state != request.state)
            continue;
        ++entry.seen;
        if (entry.seen <= rule.skip)
            continue;
        if (rule.times >= 0 && entry.acted >= rule.times)
            continue;
        ++entry.acted;
        return match_t{entry.id, rule};
    }
    return std::nullopt;
}

int wendaroFaults_t::actedCount(int id) const
{
    std::lock_guard<std::mutex> guard(mutex_);
    for (const entry_t& entry : rules_) {
        if (entry.id == id)
            return entry.acted;
    }
    return 0;
}
