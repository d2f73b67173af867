#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/StopToken.h"

// The preview worker: one dedicated thread that runs first-frame previews one at a time, in the
// order they were posted, each under its own stop token. The object owns its thread: its
// destructor drops the work not yet started, stops the running item and joins the thread.
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

    // Queues work behind everything posted before it; it runs with token as its thread's
    // current stop token. A token stopped before its turn still runs the work, which then ends
    // at its first program.
    void post(std::function<void()> work, std::shared_ptr<StopToken> token);

private:
    struct Item {
        std::function<void()> work;
        std::shared_ptr<StopToken> token;
    };
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Item> m_queue;
    std::shared_ptr<StopToken> m_running;
    bool m_stopping = false;
    std::thread m_thread;
};
