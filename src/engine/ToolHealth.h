#pragma once

#include <chrono>
#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class EngineError;

// Whether the installed programs (ffmpeg, the Vulkan engine, the processor engine) can start on
// this system: a copied program whose shared libraries are missing fails every job, and its
// failure must be named as such, never as a fault of the user's file.
//
// Threading: check() and probe() start programs and wait for them; call them on a worker thread
// only. Everything else is pure and callable from any thread.
namespace ToolHealth {

// One installed program and the harmless command that starts it.
struct Probe {
    QString name; // as the messages name it: the executable's file name
    QString program;
    QStringList arguments;
};

// How one start of a program ended.
struct Outcome {
    std::optional<QString> startError; // the OS reason when it could not be executed at all
    int exitStatus = 0;                // 128 + the signal number when a signal ended it
    QByteArray standardError;
    bool timedOut = false;
};

// How long a probe may take before the program counts as not answering.
inline constexpr std::chrono::seconds kProbeTimeout{30};

// The sentence for a program that could not start, or nullopt when it started. A program that
// ran and exited, with whatever status, has started: an older engine may not know the probe's
// option. Not starting means: it could not be executed, the dynamic loader refused it, it
// crashed at once, or it did not answer within the timeout.
std::optional<QString> problem(const QString& name, const Outcome& outcome);

// The sentence when an error of a program's run shows that the program could not start (it could
// not be executed, or the dynamic loader's message is in its text); nullopt for any other error.
std::optional<QString> startProblem(const QString& name, const EngineError& error);

// The installed programs, those that are there: a missing one is reported by the job that needs it.
QList<Probe> installedProbes();

// Names this version of the tools and of the system's libraries: each program's size and
// modification time, and those of the loader's cache, which changes whenever libraries are
// installed or removed.
QString toolsVersion(const QList<Probe>& probes);

// Starts one program and waits for it, ending it after timeout.
Outcome probe(const Probe& probe, std::chrono::milliseconds timeout = kProbeTimeout);

// Starts every installed program once and returns one line per program that cannot start (empty
// when all can). A healthy verdict is kept in the tools folder for this tools version, so later
// calls start nothing until the tools or the system's libraries change; a failed one is checked
// again every time, so installing what was missing is seen at the next start.
QStringList check();

} // namespace ToolHealth
