#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

// Runs one external program: an executable path and an argument list, never a shell.
// Standard input and output are /dev/null unless the caller hands in descriptors (the ends of
// pipes between programs); standard error is collected completely while the
// program runs, so a chatty program never blocks on a full pipe.
//
// The program dies with this process, also when this process is killed outright (SIGKILL): the
// kernel sends it SIGKILL when the thread that started it ends. A program asked to stop gets
// SIGTERM, and SIGKILL once it has ignored that for kStopGrace.
//
// Threading: start() and waitForExit() (or poll()) are called on one thread (a worker), which
// lives at least as long as the program; terminate() may be called from any thread at any time.
// Signalling and reaping share one mutex, so a signal never reaches a pid that has already been
// reaped and reused.
class ChildProcess final {
public:
    // How long a program asked to stop may take before it is killed.
    static constexpr std::chrono::seconds kStopGrace{3};

    ChildProcess(QString program, QStringList arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Variables set (or replaced) on top of the inherited environment.
    void setEnvironmentOverrides(QMap<QString, QString> overrides);
    void setTickInterval(std::chrono::milliseconds interval) { m_tickInterval = interval; }
    // Descriptors the program gets as standard input or output instead of /dev/null. The caller
    // keeps its own copies and closes them once the program has started.
    void setStandardInput(int fd) { m_stdinFd = fd; }
    void setStandardOutput(int fd) { m_stdoutFd = fd; }

    // Throws EngineError naming the program and the OS reason when it cannot be started.
    void start();
    // Blocks until the program exits, calling tick every tick interval meanwhile.
    // Returns the exit status; a program ended by a signal reports 128 + the signal number.
    // A program still running kStopGrace after terminate() is killed here.
    int waitForExit(const std::function<void()>& tick = {});
    // Collects what the program wrote to standard error so far and reaps it if it has exited,
    // without waiting. Returns whether it has exited (exitStatus() then holds its status).
    // Like waitForExit(), kills a program that outlived its stop grace.
    bool poll();
    // Asks the program to stop (SIGTERM) if it still runs; does not wait. The grace runs from the
    // first request.
    void terminate();

    const QString& program() const { return m_program; }
    const QStringList& arguments() const { return m_arguments; }
    QByteArray standardError() const { return m_stderr; }
    int exitStatus() const { return m_exitStatus; }

private:
    bool reapIfExited();
    void killIfOverdue();
    void drainStandardError(bool block);

    QString m_program;
    QStringList m_arguments;
    QMap<QString, QString> m_environmentOverrides;
    std::chrono::milliseconds m_tickInterval{400};

    std::mutex m_pidMutex; // guards the pid and stop state against terminate() from other threads
    int m_pid = -1;
    bool m_reaped = false;
    std::optional<std::chrono::steady_clock::time_point> m_stopAsked; // first terminate()
    bool m_killed = false;
    int m_stderrFd = -1;
    int m_stdinFd = -1;
    int m_stdoutFd = -1;
    QByteArray m_stderr;
    int m_exitStatus = -1;
};
