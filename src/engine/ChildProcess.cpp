#include "engine/ChildProcess.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
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

EngineError startError(const QString& program, int error)
{
    return EngineError(
        QStringLiteral("Process"), error,
        QStringLiteral("Could not start %1: %2")
            .arg(QFileInfo(program).fileName(), QString::fromLocal8Bit(std::strerror(error))));
}

// A close-on-exec copy of fd numbered 3 or above, so that placing the standard descriptors never
// overwrites one still to be placed. Async-signal-safe.
int aboveStandard(int fd)
{
    return fd < 3 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 3) : fd;
}

bool makePipe(int (&fds)[2])
{
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    for (int& fd : fds) {
        const int above = aboveStandard(fd);
        if (above != fd) {
            ::close(fd);
            fd = above;
        }
    }
    return true;
}

void closeBoth(const int (&fds)[2])
{
    ::close(fds[0]);
    ::close(fds[1]);
}

// What the child needs between fork and exec, all prepared beforehand.
struct ChildSetup {
    const char* path;
    char* const* argv;
    char* const* envp;
    int stdinFd; // -1: /dev/null
    int stdoutFd;
    int stderrFd;
    int statusFd; // close-on-exec; receives errno when the child cannot exec
    pid_t parent;
};

[[noreturn]] void failInChild(int statusFd, int error)
{
    while (::write(statusFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

// A descriptor for a standard stream: the caller's, or /dev/null; numbered 3 or above.
int streamSource(int fd, int nullFlags)
{
    if (fd < 0)
        fd = ::open("/dev/null", nullFlags | O_CLOEXEC);
    return fd < 0 ? -1 : aboveStandard(fd);
}

// The child between fork and exec: async-signal-safe calls only.
[[noreturn]] void runChild(const ChildSetup& setup)
{
    // The kernel kills the program when the thread that forked it ends, which includes this
    // whole process dying of SIGKILL. It is the forking *thread* that counts: every caller starts
    // a program and waits for it (or polls it) on one worker thread that outlives it, which is
    // why this holds. If this process has already died since the fork, nobody will ever reap or
    // stop the program: give up.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        failInChild(setup.statusFd, errno);
    if (::getppid() != setup.parent)
        ::_exit(127);

    const int input = streamSource(setup.stdinFd, O_RDONLY);
    const int output = streamSource(setup.stdoutFd, O_WRONLY);
    const int error = aboveStandard(setup.stderrFd);
    if (input < 0 || output < 0 || error < 0 || ::dup2(input, STDIN_FILENO) < 0 ||
        ::dup2(output, STDOUT_FILENO) < 0 || ::dup2(error, STDERR_FILENO) < 0)
        failInChild(setup.statusFd, errno);
    // Descriptors this process inherited without close-on-exec stay out of the program (where
    // the kernel cannot do this, they pass through as before).
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);

    // Default handling for every signal this process handles (a handler must not run here once
    // signals are unblocked) and for the stop signals whatever this process does with them, then
    // an empty mask.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction current {};
        if (sig == SIGKILL || sig == SIGSTOP || ::sigaction(sig, nullptr, &current) != 0)
            continue;
        const bool handled = (current.sa_flags & SA_SIGINFO) != 0 ||
                             (current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN);
        if (handled || sig == SIGPIPE || sig == SIGTERM || sig == SIGINT)
            ::sigaction(sig, &defaultAction, nullptr);
    }
    sigset_t emptyMask;
    sigemptyset(&emptyMask);
    ::sigprocmask(SIG_SETMASK, &emptyMask, nullptr);

    ::execve(setup.path, setup.argv, setup.envp);
    failInChild(setup.statusFd, errno);
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
    // Everything the child needs is prepared here: between fork and exec the child of a
    // multi-threaded process may only make async-signal-safe calls (no allocation, no locks).
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

    int errorPipe[2];
    int statusPipe[2];
    if (!makePipe(errorPipe))
        throw startError(m_program, errno);
    if (!makePipe(statusPipe)) {
        const int error = errno;
        closeBoth(errorPipe);
        throw startError(m_program, error);
    }
    const ChildSetup setup{path.constData(), argv.data(),  envp.data(),   m_stdinFd,
                           m_stdoutFd,       errorPipe[1], statusPipe[1], ::getpid()};

    // No handler of this process may run in the child before it has reset them all.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0)
        runChild(setup);
    const int forkError = errno;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    ::close(errorPipe[1]);
    ::close(statusPipe[1]);
    if (pid < 0) {
        ::close(errorPipe[0]);
        ::close(statusPipe[0]);
        throw startError(m_program, forkError);
    }

    // The status pipe closes on exec: end of file means the program runs, an errno means the
    // child could not get there and has exited.
    int childError = 0;
    ssize_t count = 0;
    while ((count = ::read(statusPipe[0], &childError, sizeof childError)) < 0 && errno == EINTR) {
    }
    ::close(statusPipe[0]);
    if (count > 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ::close(errorPipe[0]);
        throw startError(m_program, count == sizeof childError ? childError : EIO);
    }

    m_stderrFd = errorPipe[0];
    ::fcntl(m_stderrFd, F_SETFL, ::fcntl(m_stderrFd, F_GETFL) | O_NONBLOCK);
    std::lock_guard lock(m_pidMutex);
    m_pid = pid;
    m_reaped = false;
    m_stopAsked.reset();
    m_killed = false;
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
        killIfOverdue();
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
    if (!reapIfExited()) {
        killIfOverdue();
        return false;
    }
    drainStandardError(true);
    return true;
}

void ChildProcess::terminate()
{
    std::lock_guard lock(m_pidMutex);
    if (m_pid <= 0 || m_reaped)
        return;
    ::kill(m_pid, SIGTERM);
    if (!m_stopAsked)
        m_stopAsked = std::chrono::steady_clock::now();
}

void ChildProcess::killIfOverdue()
{
    // A program stuck in a driver call, or one that ignores SIGTERM, must not hold its waiter.
    std::lock_guard lock(m_pidMutex);
    if (m_pid <= 0 || m_reaped || m_killed || !m_stopAsked ||
        std::chrono::steady_clock::now() - *m_stopAsked < kStopGrace)
        return;
    ::kill(m_pid, SIGKILL);
    m_killed = true;
}
