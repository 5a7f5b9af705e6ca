// A restore link that records what the job reports instead of sending it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "JxSQLCommon/jobbase/SqlRstJobClient.h"

struct RecordingRstJobClient : SqlRstJobClient {
    SqlRstJobClient& operator<<(const char* text) override {
        if (text != nullptr) arguments.emplace_back(text);
        return *this;
    }
    SqlRstJobClient& operator<<(uint64_t number) override {
        arguments.push_back(std::to_string(number));
        return *this;
    }
    bool setPendingCauseAndCriticalEvent(int cause) override {
        causes.push_back(cause);
        ++causeCount;
        return true;
    }
    void InfoEvent(int id) override { infoEvents.push_back(id); }
    JXJobClient* setRCID(int id) override {
        rcids.push_back(id);
        return nullptr;
    }
    void setUncompBytes2Add(int64_t bytes) override { bytesAdded.push_back(bytes); }
    bool updateInfo(bool, bool*) override {
        ++updates;
        return true;
    }

    std::vector<std::string> arguments;
    std::vector<int> causes;
    std::vector<int> infoEvents;
    std::vector<int> rcids;
    std::vector<int64_t> bytesAdded;
    std::atomic<int> updates{0};     // read while the job's transfer wait runs
    std::atomic<int> causeCount{0};  // likewise
};
