// wendaroFaults_t: the server's scripted faults (wendaroFaultRule_t). Rules
// are tried in the order they were added; the first that matches and still
// has acts left acts. Thread-safe: sessions match on their own threads while
// a test adds rules.
#pragma once
#include "standins/wendaro/wendaroFaultRule.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class wendaroFaults_t {
public:
    struct request_t {
        std::uint32_t connection = 0;
        std::uint32_t machine = 0;
        // The request's word, looked at while the request lives.
        std::wstring_view word;
        int command = -1;
        int firstPayloadByte = -1;
        int state = -1;
    };
    struct match_t {
        int id = 0;  // the rule's id, for the trace
        wendaroFaultRule_t rule;
    };

    // The rule's id (from 1).
    int add(const wendaroFaultRule_t& rule);
    void clear();
    std::optional<match_t> match(const request_t& request);
    // How often the rule has acted.
    int actedCount(int id) const;

private:
    struct entry_t {
        int id = 0;
        wendaroFaultRule_t rule;
        int seen = 0;
        int acted = 0;
    };

    mutable std::mutex mutex_;
    std::vector<entry_t> rules_;
    int nextId_ = 1;
};
