// Helpers shared by the tests of threads, dispatchers, the pool and timers.
#pragma once

#include "KvErrorStream.h"
#include "KvOutputStream.h"
#include "KvThread.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kvtest {

// Collects everything written to it.
class CapturingSink : public KvOutputStream {
public:
    using KvOutputStream::write;
    void write(const void* buffer, uint32_t length, uint32_t offset) override {
        if (!buffer)
            return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text.append(static_cast<const char*>(buffer) + offset, length);
    }
    void write(uint8_t byte) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text.push_back(static_cast<char>(byte));
    }
    std::string text() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

// Routes the "KvException" category of the error stream into a sink for the scope.
class LogCapture {
public:
    LogCapture() : m_sink(new CapturingSink) {
        KvHandle<KvErrorStream> stream(new KvErrorStream(KvHandle<KvOutputStream>(m_sink.get())));
        stream->addCategory("KvException");
        m_previous = KvErrorStream::setInstance(stream);
    }
    ~LogCapture() { KvErrorStream::setInstance(m_previous); }
    std::string text() { return m_sink->text(); }
    bool contains(const std::string& part) { return text().find(part) != std::string::npos; }

private:
    KvHandle<CapturingSink> m_sink;
    KvHandle<KvErrorStream> m_previous;
};

// Polls the condition until it holds or a generous bound has passed; returns whether it held.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds bound = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A stack thread whose body is the given function.
class FunctionThread : public KvThread {
public:
    explicit FunctionThread(std::function<void(FunctionThread&)> body) : m_body(std::move(body)) {}
    void run() override { m_body(*this); }

private:
    std::function<void(FunctionThread&)> m_body;
};

// A gate that threads wait at until it is opened. Going out of scope it opens and waits until
// every thread that waited has left it.
class Gate {
public:
    ~Gate() {
        open();
        std::unique_lock<std::mutex> lock(m_mutex);
        m_left.wait(lock, [this] { return m_inside == 0; });
    }
    void open() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_open = true;
        }
        m_condition.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_inside;
        m_condition.wait(lock, [this] { return m_open; });
        if (--m_inside == 0)
            m_left.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::condition_variable m_left;
    bool m_open = false;
    int m_inside = 0;
};

} // namespace kvtest
