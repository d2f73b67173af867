#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class ChildProcess;

// The stop switch of one operation (a queued job or a first-frame preview) and the programs it
// is running. Stopping one operation never reaches another, and a fresh operation starts with a
// fresh token, so a stop never leaks into the next one.
//
// A stop either discards the operation's work (the Stop button) or keeps it so the job can be
// resumed later (quitting with "Stop and resume later", logging out, SIGTERM).
//
// Threading: stop() may be called from any thread; the programs are attached and detached by the
// operation's own thread. The operation's thread finds its token through current(), set by a
// Scope for the length of the operation.
class StopToken final {
public:
    enum class Mode { Discard, KeepWork };

    // Marks the operation stopped and asks every program it runs to end (see
    // ChildProcess::terminate). The first stop decides whether the work is kept.
    void stop(Mode mode = Mode::Discard);
    bool stopped() const { return m_stopped.load(); }
    // True when the operation was stopped to be resumed later: its finished work stays.
    bool keepsWork() const { return m_keepWork.load(); }

    // A program of this operation; a program attached after the stop is asked to end at once.
    void attach(const std::shared_ptr<ChildProcess>& process);
    void detach(const std::shared_ptr<ChildProcess>& process);

    // The token of the operation running on this thread; outside any operation, a token of the
    // thread's own that nobody stops.
    static StopToken& current();

    // Makes token the current one of this thread until the scope ends.
    class Scope final {
    public:
        explicit Scope(std::shared_ptr<StopToken> token);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        std::shared_ptr<StopToken> m_previous;
    };

private:
    std::atomic<bool> m_stopped{false};
    std::atomic<bool> m_keepWork{false};
    std::mutex m_mutex;
    std::vector<std::shared_ptr<ChildProcess>> m_processes;
};
