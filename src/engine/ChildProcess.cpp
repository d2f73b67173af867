#include "engine/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "engine/EngineError.h"

extern char** environ;

namespace {

int statusFromWait(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return 128 + WTERMSIG(waitStatus);
    return -1;
}

std::vector<QByteArray> buildEnvironment(const QMap<QString, QString>& overrides)
{
    std::vector<QByteArray> entries;
    for (char** entry = environ; entry && *entry; ++entry) {
        const QByteArray line(*entry);
        const QString name = QString::fromLocal8Bit(line.left(line.indexOf('=')));
        if (!overrides.contains(name))
            entries.push_back(line);
    }
    for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
        entries.push_back(it.key().toLocal8Bit() + '=' + it.value().toLocal8Bit());
    return entries;
}

} // namespace

ChildProcess::ChildProcess(QString program, QStringList arguments)
    : m_program(std::move(program)), m_arguments(std::move(arguments))
{
}

ChildProcess::~ChildProcess()
{
    {
        std::lock_guard lock(m_pidMutex);
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_reaped = true;
        }
    }
    if (m_stderrFd >= 0)
        ::close(m_stderrFd);
}

void ChildProcess::setEnvironmentOverrides(QMap<QString, QString> overrides)
{
    m_environmentOverrides = std::move(overrides);
}

void ChildProcess::start()
{
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        const int error = errno;
        throw EngineError(QStringLiteral("Process"), error,
                          QStringLiteral("Could not start %1: %2")
                              .arg(QFileInfo(m_program).fileName(),
                                   QString::fromLocal8Bit(std::strerror(error))));
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (m_stdinFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, m_stdinFd, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (m_stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, m_stdoutFd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);

    // The child starts with default signal handling and an empty mask whatever this process uses.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGINT);
    sigset_t emptyMask;
    sigemptyset(&emptyMask);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &emptyMask);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const QByteArray path = QFile::encodeName(m_program);
    std::vector<QByteArray> argStorage;
    argStorage.push_back(path);
    for (const QString& argument : m_arguments)
        argStorage.push_back(argument.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& argument : argStorage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    std::vector<QByteArray> envStorage = buildEnvironment(m_environmentOverrides);
    std::vector<char*> envp;
    for (QByteArray& entry : envStorage)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int result =
        ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pipeFds[1]);

    if (result != 0) {
        ::close(pipeFds[0]);
        throw EngineError(QStringLiteral("Process"), result,
                          QStringLiteral("Could not start %1: %2")
                              .arg(QFileInfo(m_program).fileName(),
                                   QString::fromLocal8Bit(std::strerror(result))));
    }
    m_stderrFd = pipeFds[0];
    ::fcntl(m_stderrFd, F_SETFL, ::fcntl(m_stderrFd, F_GETFL) | O_NONBLOCK);
    std::lock_guard lock(m_pidMutex);
    m_pid = pid;
    m_reaped = false;
}

bool ChildProcess::reapIfExited()
{
    std::lock_guard lock(m_pidMutex);
    if (m_reaped)
        return true;
    int status = 0;
    const pid_t result = ::waitpid(m_pid, &status, WNOHANG);
    if (result == m_pid) {
        m_reaped = true;
        m_exitStatus = statusFromWait(status);
        return true;
    }
    if (result < 0 && errno != EINTR) {
        // Nothing left to wait for (should not happen); treat as an unknown failure.
        m_reaped = true;
        m_exitStatus = -1;
        return true;
    }
    return false;
}

void ChildProcess::drainStandardError(bool block)
{
    if (m_stderrFd < 0)
        return;
    char buffer[16384];
    for (;;) {
        if (block) {
            pollfd pfd{m_stderrFd, POLLIN, 0};
            if (::poll(&pfd, 1, 0) <= 0)
                return;
        }
        const ssize_t count = ::read(m_stderrFd, buffer, sizeof buffer);
        if (count > 0) {
            m_stderr.append(buffer, count);
            continue;
        }
        if (count == 0) { // end of file: every writer has closed the pipe
            ::close(m_stderrFd);
            m_stderrFd = -1;
        }
        return;
    }
}

int ChildProcess::waitForExit(const std::function<void()>& tick)
{
    using Clock = std::chrono::steady_clock;
    auto nextTick = Clock::now() + m_tickInterval;
    for (;;) {
        const auto untilTick =
            std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now());
        // Wake at least every 50 ms so a program that closed its standard error early, or whose
        // own children keep the pipe open, is still noticed promptly when it exits.
        const int timeout = int(std::clamp<long long>(untilTick.count(), 0, 50));
        if (m_stderrFd >= 0) {
            pollfd pfd{m_stderrFd, POLLIN, 0};
            if (::poll(&pfd, 1, timeout) > 0)
                drainStandardError(false);
        } else {
            ::usleep(useconds_t(timeout) * 1000);
        }
        if (reapIfExited()) {
            drainStandardError(true);
            return m_exitStatus;
        }
        if (Clock::now() >= nextTick) {
            if (tick)
                tick();
            nextTick = Clock::now() + m_tickInterval;
        }
    }
}

bool ChildProcess::poll()
{
    drainStandardError(true);
    if (!reapIfExited())
        return false;
    drainStandardError(true);
    return true;
}

void ChildProcess::terminate()
{
    std::lock_guard lock(m_pidMutex);
    if (m_pid > 0 && !m_reaped)
        ::kill(m_pid, SIGTERM);
}
