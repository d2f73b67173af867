#include "app/CliMain.h"

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QStringList>

#include "app/CliRunner.h"
#include "app/CommandLine.h"
#include "processing/HistoryStore.h"
#include "processing/JobQueue.h"

namespace {
int g_signalSocket[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    // Nothing else is safe in a signal handler; the main loop reads the byte.
    [[maybe_unused]] const ssize_t written = ::write(g_signalSocket[0], &byte, 1);
}

// Ctrl-C and SIGTERM reach the runner through the event loop, as a stop.
void catchStopSignals(CliRunner& runner, QObject* context)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalSocket) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalSocket[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [&runner] {
        char byte = 0;
        if (::read(g_signalSocket[1], &byte, 1) != 1)
            return;
        runner.stop(byte == SIGINT ? CommandLine::exitInterrupted : CommandLine::exitTerminated);
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// On a terminal, a log line first clears the progress line it would otherwise run into; the
// progress is drawn again with its next report.
void logOnTerminal(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QByteArray line =
        "\r\x1b[K" + qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

namespace CliMain {

int run(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine::Parsed parsed = CommandLine::parse(arguments);
    switch (parsed.command) {
    case CommandLine::Command::Version:
        print(stdout, CommandLine::versionText());
        return CommandLine::exitSuccess;
    case CommandLine::Command::Help:
        print(stdout, CommandLine::helpText());
        return CommandLine::exitSuccess;
    case CommandLine::Command::UpscaleHelp:
        print(stdout, CommandLine::upscaleHelpText());
        return CommandLine::exitSuccess;
    case CommandLine::Command::Window:
        return CommandLine::exitUsage;
    case CommandLine::Command::Upscale:
        break;
    }
    if (!parsed.error.isEmpty()) {
        print(stderr, QStringLiteral("korvane upscale: ") + parsed.error +
                          QStringLiteral("\nRun \"korvane upscale --help\" for the options.\n"));
        return CommandLine::exitUsage;
    }

    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));

    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
    if (terminal && ::isatty(STDERR_FILENO) == 1)
        qInstallMessageHandler(logOnTerminal);
    // The services of one command, made before its work and gone after it, in this order.
    HistoryStore histories;
    JobQueue queue;
    CliRunner runner(parsed.request, terminal, queue, histories);
    catchStopSignals(runner, &application);
    QObject::connect(&runner, &CliRunner::finished, &application, &QCoreApplication::exit);
    runner.start();
    return QCoreApplication::exec();
}

} // namespace CliMain
