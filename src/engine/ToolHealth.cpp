#include "engine/ToolHealth.h"

#include <csignal>
#include <cstring>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include "engine/ChildProcess.h"
#include "engine/EngineChoice.h"
#include "engine/EngineError.h"
#include "engine/UpscaleCore.h"

namespace ToolHealth {

namespace {

const QString kReinstall = QStringLiteral(" Reinstall Korvane.");
const QString kInstallPackage =
    QStringLiteral(" Reinstall Korvane, or install the package that provides it.");
const QString kUpdatePackage =
    QStringLiteral(" Reinstall Korvane, or update the package that provides it.");

// The OS reason of ChildProcess's "Could not start <file>: <reason>".
QString startReason(const QString& message)
{
    const qsizetype colon = message.indexOf(QStringLiteral(": "));
    return colon < 0 ? message : message.mid(colon + 2);
}

QString cantStart(const QString& name)
{
    return name + QStringLiteral(" can't start: ");
}

// The sentence for what the dynamic loader printed when it refused the program, if it did.
std::optional<QString> loaderProblem(const QString& name, const QString& text)
{
    // "prog: error while loading shared libraries: libx.so.1: cannot open shared object file: …"
    static const QRegularExpression loading(
        QStringLiteral("error while loading shared libraries: ([^:\\n]+): ([^\\n]*)"));
    // "prog: /lib/…/libc.so.6: version `GLIBC_2.38' not found (required by prog)"
    static const QRegularExpression version(
        QStringLiteral("([^\\s:]+): version `([^'\\n]+)' not found"));
    // "prog: symbol lookup error: prog: undefined symbol: av_x"
    static const QRegularExpression symbol(
        QStringLiteral("symbol lookup error: [^\\n]*undefined symbol: ([^\\s,]+)"));

    if (const auto match = loading.match(text); match.hasMatch()) {
        const QString library = QFileInfo(match.captured(1).trimmed()).fileName();
        const QString reason = match.captured(2).trimmed();
        if (reason.startsWith(QLatin1String("cannot open shared object file")))
            return cantStart(name) + library + QStringLiteral(" is missing.") + kInstallPackage;
        return cantStart(name) + library + QStringLiteral(" cannot be loaded (") + reason +
               QStringLiteral(").") + kInstallPackage;
    }
    if (const auto match = version.match(text); match.hasMatch())
        return cantStart(name) + QFileInfo(match.captured(1)).fileName() +
               QStringLiteral(" is too old (it lacks ") + match.captured(2) + QStringLiteral(").") +
               kUpdatePackage;
    if (const auto match = symbol.match(text); match.hasMatch())
        return cantStart(name) + QStringLiteral("a library it uses lacks ") + match.captured(1) +
               QStringLiteral(".") + kUpdatePackage;
    return std::nullopt;
}

QString lastLine(const QByteArray& text)
{
    const QStringList lines =
        QString::fromLocal8Bit(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (!it->trimmed().isEmpty())
            return it->trimmed();
    }
    return {};
}

QString sentence(QString text)
{
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    return text;
}

// Signals that end a program which crashed rather than one that was asked to stop.
bool isCrash(int signalNumber)
{
    return signalNumber == SIGILL || signalNumber == SIGABRT || signalNumber == SIGBUS ||
           signalNumber == SIGFPE || signalNumber == SIGSEGV;
}

QString verdictFile()
{
    return UpscaleCore::toolsFolder() + QStringLiteral("/tools-checked");
}

QString fileVersion(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return path + QStringLiteral(" -");
    return path + QLatin1Char(' ') + QString::number(info.size()) + QLatin1Char(' ') +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

} // namespace

std::optional<QString> problem(const QString& name, const Outcome& outcome)
{
    if (outcome.startError)
        return cantStart(name) + sentence(*outcome.startError) + kReinstall;
    if (outcome.timedOut)
        return cantStart(name) + QStringLiteral("it did not answer within ") +
               QString::number(kProbeTimeout.count()) + QStringLiteral(" seconds.") + kReinstall;
    if (const auto loader = loaderProblem(name, QString::fromLocal8Bit(outcome.standardError)))
        return loader;
    const int status = outcome.exitStatus;
    // 126 and 127: the loader or a shell could not run it, without the loader's own words.
    if (status == 126 || status == 127) {
        const QString last = lastLine(outcome.standardError);
        const QString reason =
            last.isEmpty() ? QStringLiteral("it ended with status ") + QString::number(status)
                           : last;
        return cantStart(name) + sentence(reason) + kReinstall;
    }
    if (status > 128 && isCrash(status - 128))
        return cantStart(name) + QStringLiteral("it crashed at once (") +
               QString::fromLocal8Bit(::strsignal(status - 128)) + QStringLiteral(").") +
               kReinstall;
    return std::nullopt;
}

std::optional<QString> startProblem(const QString& name, const EngineError& error)
{
    if (error.domain() == QLatin1String("Process"))
        return cantStart(name) + sentence(startReason(error.message())) + kReinstall;
    return loaderProblem(name, error.message());
}

QList<Probe> installedProbes()
{
    const QList<Probe> all{
        {QStringLiteral("ffmpeg"), UpscaleCore::ffmpeg(), {QStringLiteral("-version")}},
        // The Vulkan engine has no version option; its usage text needs every library it links.
        {QStringLiteral("realesrgan-ncnn-vulkan"),
         UpscaleCore::realesrganBinary(),
         {QStringLiteral("-h")}},
        {QStringLiteral("korvane-engine"),
         EngineChoice::binary(EngineKind::Cpu),
         {QStringLiteral("--version")}},
    };
    QList<Probe> installed;
    for (const Probe& candidate : all) {
        if (QFileInfo::exists(candidate.program))
            installed.append(candidate);
    }
    return installed;
}

QString toolsVersion(const QList<Probe>& probes)
{
    QStringList lines;
    for (const Probe& each : probes)
        lines.append(fileVersion(each.program));
    lines.append(fileVersion(QStringLiteral("/etc/ld.so.cache")));
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

Outcome probe(const Probe& probe, std::chrono::milliseconds timeout)
{
    ChildProcess process(probe.program, probe.arguments);
    process.setTickInterval(std::chrono::milliseconds(100));
    Outcome outcome;
    try {
        process.start();
    } catch (const EngineError& error) {
        outcome.startError = startReason(error.message());
        return outcome;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    outcome.exitStatus = process.waitForExit([&] {
        if (!outcome.timedOut && std::chrono::steady_clock::now() > deadline) {
            outcome.timedOut = true;
            process.terminate();
        }
    });
    outcome.standardError = process.standardError();
    return outcome;
}

QStringList check()
{
    const QList<Probe> probes = installedProbes();
    if (probes.isEmpty())
        return {};
    const QString version = toolsVersion(probes);
    QFile verdict(verdictFile());
    if (verdict.open(QIODevice::ReadOnly) && QString::fromUtf8(verdict.readAll()) == version)
        return {};
    verdict.close();

    QStringList problems;
    for (const Probe& each : probes) {
        if (const auto found = problem(each.name, probe(each)))
            problems.append(*found);
    }
    if (problems.isEmpty()) {
        // Several Korvane processes may check at once; each writes the whole verdict or nothing.
        QSaveFile file(verdictFile());
        if (file.open(QIODevice::WriteOnly)) {
            file.write(version.toUtf8());
            file.commit();
        }
    } else {
        QFile::remove(verdictFile());
    }
    return problems;
}

} // namespace ToolHealth
