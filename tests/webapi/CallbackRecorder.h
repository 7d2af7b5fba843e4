// Collects the web client's answers, which arrive on the channels' worker threads.
#pragma once

#include "TestSupport.h"

#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct RecordedAnswer
{
    int callType;
    int objectID;
    std::string response;
    std::thread::id thread;
};

class CallbackRecorder
{
public:
    static CallbackRecorder &instance()
    {
        static CallbackRecorder r;
        return r;
    }
    static void callback(void *, int callType, int objectID, std::string response)
    {
        std::lock_guard<std::mutex> lock(instance().m_mutex);
        instance().m_answers.push_back({callType, objectID, std::move(response), std::this_thread::get_id()});
    }
    std::vector<RecordedAnswer> answers()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_answers;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers.clear();
    }
    bool waitFor(size_t count, int timeoutMs = 8000)
    {
        return tvxtest::waitUntil([&] { return answers().size() >= count; }, timeoutMs);
    }

private:
    std::mutex m_mutex;
    std::vector<RecordedAnswer> m_answers;
};
