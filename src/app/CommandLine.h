#pragma once

#include <optional>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "engine/AIQuality.h"

// The command line of the korvane executable: which command the arguments ask for, the options of
// `korvane upscale`, and the texts the command prints. Pure functions, apart from nothing.
namespace CommandLine {

enum class Command {
    Window,      // no command: the application's window (URLs among the arguments included)
    Version,     // korvane --version
    Help,        // korvane --help
    UpscaleHelp, // korvane upscale --help
    Upscale,     // korvane upscale INPUT...
};

// What `korvane upscale` was asked to do. Unset options take the application's own defaults.
struct UpscaleRequest {
    QStringList inputs;
    std::optional<qint64> targetHeight; // --resolution 1080p|4k
    std::optional<int> scale;           // --scale 2|3|4 (images)
    std::optional<AIQuality> quality;   // --quality fast|detailed|max
    std::optional<QString> codec;       // --codec h264|h265, as the engine's codec tag
    std::optional<QString> format;      // --format png|jpg (images)
    QString output;                     // --output FILE (one input only)
    QString outputDir;                  // --output-dir DIR
    bool json = false;                  // --json: one JSON object per line
    bool noHistory = false;             // --no-history
    bool noResume = false;              // --no-resume

    bool operator==(const UpscaleRequest&) const = default;
};

struct Parsed {
    Command command = Command::Window;
    UpscaleRequest request;
    QString error; // a usage error; empty when the arguments are sound
};

// Exit statuses of the commands.
inline constexpr int exitSuccess = 0;
inline constexpr int exitFailed = 1;
inline constexpr int exitUsage = 2;
inline constexpr int exitInterrupted = 130;
inline constexpr int exitTerminated = 143;

// True when arguments (without the program name) start with a command rather than being left to
// the window.
bool isCommand(const QStringList& arguments);
// Reads arguments (without the program name).
Parsed parse(const QStringList& arguments);

QString versionText();
QString helpText();
QString upscaleHelpText();

// The image format an output file's name asks for ("png" or "jpg"), or nothing for another name.
std::optional<QString> imageFormatOf(const QString& fileName);

// Seconds in a remaining-time text of the engine ("45s", "1m 5s"); nothing for any other text
// ("Calculating ETA…", empty).
std::optional<qint64> etaSeconds(const QString& etaText);

// The progress line drawn on a terminal: "clip.mp4  AI enhancing frames…  42%  1m 5s left".
QString progressLine(const QString& name, double fraction, const QString& status,
                     const QString& eta);

// One JSON object (compact, no newline) for programs reading --json output.
QByteArray progressJson(const QString& file, double fraction, const QString& status,
                        const QString& eta);
QByteArray outputJson(const QString& file, const QString& output);
QByteArray errorJson(const QString& file, const QString& error);

} // namespace CommandLine
