#include "app/CommandLine.h"

#include <algorithm>
#include <cmath>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "engine/UpscaleOptions.h"

namespace CommandLine {

namespace {
const QString upscaleCommand = QStringLiteral("upscale");

bool isHelp(const QString& argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

bool isVersion(const QString& argument)
{
    return argument == QLatin1String("--version") || argument == QLatin1String("-V");
}

// Reads the value of one option into request; an error text when the value is not one it takes.
QString takeValue(const QString& option, const QString& value, UpscaleRequest& request)
{
    const QString lower = value.toLower();
    const auto bad = [&](const QString& allowed) {
        return QStringLiteral("%1 takes %2, not \"%3\"").arg(option, allowed, value);
    };
    if (option == QLatin1String("--resolution")) {
        if (lower == QLatin1String("1080p") || lower == QLatin1String("1080"))
            request.targetHeight = 1080;
        else if (lower == QLatin1String("4k") || lower == QLatin1String("2160p") ||
                 lower == QLatin1String("2160"))
            request.targetHeight = 2160;
        else
            return bad(QStringLiteral("1080p or 4k"));
    } else if (option == QLatin1String("--scale")) {
        if (lower != QLatin1String("2") && lower != QLatin1String("3") &&
            lower != QLatin1String("4"))
            return bad(QStringLiteral("2, 3 or 4"));
        request.scale = lower.toInt();
    } else if (option == QLatin1String("--quality")) {
        const std::optional<AIQuality> quality = AIQualities::fromRawValue(lower);
        if (!quality)
            return bad(QStringLiteral("fast, detailed or max"));
        request.quality = quality;
    } else if (option == QLatin1String("--codec")) {
        if (lower == QLatin1String("h264"))
            request.codec = Codecs::h264;
        else if (lower == QLatin1String("h265") || lower == QLatin1String("hevc"))
            request.codec = Codecs::hevc;
        else
            return bad(QStringLiteral("h264 or h265"));
    } else if (option == QLatin1String("--format")) {
        const std::optional<QString> format = imageFormatOf(QStringLiteral("x.") + lower);
        if (!format)
            return bad(QStringLiteral("png or jpg"));
        request.format = format;
    } else if (option == QLatin1String("--output")) {
        if (value.isEmpty())
            return QStringLiteral("--output needs a file name");
        request.output = value;
    } else if (option == QLatin1String("--output-dir")) {
        if (value.isEmpty())
            return QStringLiteral("--output-dir needs a folder");
        request.outputDir = value;
    }
    return {};
}

// The sound combinations of the options that were read.
QString checkRequest(const UpscaleRequest& request)
{
    if (request.inputs.isEmpty())
        return QStringLiteral("no input files given");
    if (!request.output.isEmpty() && !request.outputDir.isEmpty())
        return QStringLiteral("--output and --output-dir cannot be used together");
    if (!request.output.isEmpty()) {
        if (request.inputs.size() > 1)
            return QStringLiteral("--output names one file, but %1 inputs were given; use "
                                  "--output-dir for several")
                .arg(request.inputs.size());
        const bool video = request.output.endsWith(QLatin1String(".mp4"), Qt::CaseInsensitive);
        const std::optional<QString> format = imageFormatOf(request.output);
        if (!video && !format)
            return QStringLiteral("--output must end in .mp4 (videos) or .png or .jpg (images)");
        if (format && request.format && *format != *request.format)
            return QStringLiteral("--output ends in .%1 but --format asks for %2")
                .arg(*format, *request.format);
    }
    return {};
}

Parsed parseUpscale(const QStringList& arguments)
{
    static const QStringList valued{QStringLiteral("--resolution"), QStringLiteral("--scale"),
                                    QStringLiteral("--quality"),    QStringLiteral("--codec"),
                                    QStringLiteral("--format"),     QStringLiteral("--output"),
                                    QStringLiteral("--output-dir")};
    Parsed parsed;
    parsed.command = Command::Upscale;
    UpscaleRequest& request = parsed.request;
    bool optionsOver = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (optionsOver || !argument.startsWith(QLatin1Char('-')) ||
            argument == QLatin1String("-")) {
            request.inputs.append(argument);
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsOver = true;
            continue;
        }
        if (isHelp(argument)) {
            parsed.command = Command::UpscaleHelp;
            return parsed;
        }
        if (argument == QLatin1String("--json")) {
            request.json = true;
            continue;
        }
        if (argument == QLatin1String("--no-history")) {
            request.noHistory = true;
            continue;
        }
        if (argument == QLatin1String("--no-resume")) {
            request.noResume = true;
            continue;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString option = equals < 0 ? argument : argument.left(equals);
        if (!valued.contains(option)) {
            parsed.error = QStringLiteral("unknown option \"%1\"").arg(argument);
            return parsed;
        }
        QString value;
        if (equals >= 0) {
            value = argument.mid(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments.at(++i);
        } else {
            parsed.error = QStringLiteral("%1 needs a value").arg(option);
            return parsed;
        }
        parsed.error = takeValue(option, value, request);
        if (!parsed.error.isEmpty())
            return parsed;
    }
    parsed.error = checkRequest(request);
    return parsed;
}
} // namespace

bool isCommand(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return false;
    const QString& first = arguments.constFirst();
    return first == upscaleCommand || isVersion(first) || isHelp(first);
}

Parsed parse(const QStringList& arguments)
{
    Parsed parsed;
    if (!isCommand(arguments))
        return parsed;
    const QString& first = arguments.constFirst();
    if (isVersion(first)) {
        parsed.command = Command::Version;
        return parsed;
    }
    if (isHelp(first)) {
        parsed.command = Command::Help;
        return parsed;
    }
    return parseUpscale(arguments.mid(1));
}

QString versionText()
{
    return QStringLiteral("Korvane " KORVANE_VERSION " (build " KORVANE_BUILD_NUMBER ")\n");
}

QString helpText()
{
    return QStringLiteral(
        "Usage: korvane [URL...]           start the window\n"
        "       korvane upscale INPUT...   upscale videos and images without the window\n"
        "       korvane --version          print the version\n"
        "\n"
        "Run \"korvane upscale --help\" for the options of upscale.\n");
}

QString upscaleHelpText()
{
    return QStringLiteral(
        "Usage: korvane upscale INPUT... [options]\n"
        "\n"
        "Upscales each video and image in turn, one at a time, like the window's queue.\n"
        "Results are written next to each input as NAME_upscaled.EXT unless told otherwise.\n"
        "\n"
        "Videos:\n"
        "  --resolution 1080p|4k    output height (default: recommended for this computer)\n"
        "  --codec h264|h265        video codec (default: h265)\n"
        "Images:\n"
        "  --scale 2|3|4            enlargement (default: 4)\n"
        "  --format png|jpg         picture format (default: png)\n"
        "Both:\n"
        "  --quality fast|detailed|max  AI quality (videos default to the recommendation,\n"
        "                           images to detailed)\n"
        "  --output FILE            write the one input's result to FILE (not over an\n"
        "                           existing file)\n"
        "  --output-dir DIR         write results into DIR (made when missing)\n"
        "  --json                   print one JSON object per line: progress\n"
        "                           {\"file\",\"fraction\",\"status\",\"eta_s\"}, then\n"
        "                           {\"file\",\"output\"} or {\"file\",\"error\"}\n"
        "  --no-history             keep these upscales out of the history\n"
        "  --no-resume              start a video over instead of continuing the finished\n"
        "                           segments an earlier, interrupted run of it left\n"
        "  -h, --help               show this text\n"
        "\n"
        "Exit status: 0 when every file succeeded, 1 when any failed, 2 for a usage error,\n"
        "130 when stopped with Ctrl-C (143 with SIGTERM).\n");
}

std::optional<QString> imageFormatOf(const QString& fileName)
{
    const QString suffix = fileName.section(QLatin1Char('.'), -1).toLower();
    if (!fileName.contains(QLatin1Char('.')))
        return std::nullopt;
    if (suffix == QLatin1String("png"))
        return QStringLiteral("png");
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return QStringLiteral("jpg");
    return std::nullopt;
}

std::optional<qint64> etaSeconds(const QString& etaText)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:(\\d+)m )?(\\d+)s$"));
    const QRegularExpressionMatch match = pattern.match(etaText.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong() * 60 + match.captured(2).toLongLong();
}

QString progressLine(const QString& name, double fraction, const QString& status,
                     const QString& eta)
{
    const int percent = int(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
    QString line = name + QStringLiteral("  ") + status + QStringLiteral("  ") +
                   QString::number(percent) + QLatin1Char('%');
    if (etaSeconds(eta))
        line += QStringLiteral("  ") + eta + QStringLiteral(" left");
    return line;
}

QByteArray progressJson(const QString& file, double fraction, const QString& status,
                        const QString& eta)
{
    QJsonObject object;
    object.insert(QStringLiteral("file"), file);
    object.insert(QStringLiteral("fraction"),
                  std::round(std::clamp(fraction, 0.0, 1.0) * 1000) / 1000);
    object.insert(QStringLiteral("status"), status);
    const std::optional<qint64> seconds = etaSeconds(eta);
    object.insert(QStringLiteral("eta_s"), seconds ? QJsonValue(*seconds) : QJsonValue());
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray outputJson(const QString& file, const QString& output)
{
    return QJsonDocument(
               QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("output"), output}})
        .toJson(QJsonDocument::Compact);
}

QByteArray errorJson(const QString& file, const QString& error)
{
    return QJsonDocument(
               QJsonObject{{QStringLiteral("file"), file}, {QStringLiteral("error"), error}})
        .toJson(QJsonDocument::Compact);
}

} // namespace CommandLine
