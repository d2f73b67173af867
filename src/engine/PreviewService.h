#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The preview worker: one dedicated thread that runs first-frame previews one at a time, in the
// order they were posted. The object owns its thread: its destructor drops the work not yet
// started, lets the running item finish and joins the thread.
//
// Threading: post() may be called from any thread; the posted functions run on the worker
// thread. Construction and destruction happen on one thread (the shared instance lives until the
// process exits).
class PreviewService final {
public:
    PreviewService();
    ~PreviewService();
    PreviewService(const PreviewService&) = delete;
    PreviewService& operator=(const PreviewService&) = delete;

    // The instance the engine's previews run on.
    static PreviewService& shared();

    // Queues work behind everything posted before it.
    void post(std::function<void()> work);

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::thread m_thread;
};
