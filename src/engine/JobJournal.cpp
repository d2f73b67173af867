#include "engine/JobJournal.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include "engine/AIQuality.h"
#include "engine/EngineChoice.h"
#include "engine/UpscaleCore.h"

namespace JobJournal {
namespace {

QJsonObject planObject(const JobManifest::Plan& entry)
{
    const SegmentPlan& plan = entry.plan;
    QJsonObject object;
    object[QStringLiteral("model")] = plan.choice.model;
    object[QStringLiteral("scale")] = plan.choice.scale;
    object[QStringLiteral("tile")] = plan.choice.tile;
    object[QStringLiteral("frameWidth")] = plan.frameWidth;
    object[QStringLiteral("frameHeight")] = plan.frameHeight;
    object[QStringLiteral("outputWidth")] = plan.outputWidth;
    object[QStringLiteral("outputHeight")] = plan.outputHeight;
    object[QStringLiteral("outputPixels")] = plan.outputPixels;
    object[QStringLiteral("highResolution")] = plan.highResolution;
    object[QStringLiteral("hevc")] = plan.hevc;
    object[QStringLiteral("bitRate")] = plan.bitRate;
    object[QStringLiteral("byteRate")] = plan.byteRate;
    object[QStringLiteral("frameBytesPerSecond")] = plan.frameBytesPerSecond;
    object[QStringLiteral("segmentLength")] = plan.segmentLength;
    object[QStringLiteral("segmentFrameBytes")] = plan.segmentFrameBytes;
    object[QStringLiteral("neededBytes")] = plan.neededBytes;
    object[QStringLiteral("lowStorageThreshold")] = plan.lowStorageThreshold;
    object[QStringLiteral("durationUsed")] = plan.durationUsed;
    object[QStringLiteral("segmentCount")] = plan.segmentCount;
    object[QStringLiteral("streaming")] = entry.streaming;
    object[QStringLiteral("encoder")] = entry.encoder.name;
    object[QStringLiteral("encoderOptions")] = QJsonArray::fromStringList(entry.encoder.options);
    object[QStringLiteral("encoderHardware")] = entry.encoder.hardware;
    return object;
}

// Reads the values a reader can't do without; a missing or mistyped one fails the whole plan.
class Reader final {
public:
    explicit Reader(const QJsonObject& object) : m_object(object) {}
    bool ok() const { return m_ok; }
    QString text(const char* key) { return value(key, QJsonValue::String).toString(); }
    double number(const char* key) { return value(key, QJsonValue::Double).toDouble(); }
    qint64 integer(const char* key) { return qint64(number(key)); }
    bool flag(const char* key) { return value(key, QJsonValue::Bool).toBool(); }
    QJsonArray array(const char* key) { return value(key, QJsonValue::Array).toArray(); }
    QJsonObject object(const char* key) { return value(key, QJsonValue::Object).toObject(); }
    bool has(const char* key) const { return m_object.contains(QLatin1String(key)); }

private:
    QJsonValue value(const char* key, QJsonValue::Type type)
    {
        const QJsonValue found = m_object.value(QLatin1String(key));
        if (found.type() != type)
            m_ok = false;
        return found;
    }
    QJsonObject m_object;
    bool m_ok = true;
};

std::optional<JobManifest::Plan> readPlan(const QJsonObject& object)
{
    Reader in(object);
    JobManifest::Plan entry;
    SegmentPlan& plan = entry.plan;
    plan.choice.model = in.text("model");
    plan.choice.scale = int(in.integer("scale"));
    plan.choice.tile = int(in.integer("tile"));
    plan.frameWidth = in.integer("frameWidth");
    plan.frameHeight = in.integer("frameHeight");
    plan.outputWidth = in.integer("outputWidth");
    plan.outputHeight = in.integer("outputHeight");
    plan.outputPixels = in.integer("outputPixels");
    plan.highResolution = in.flag("highResolution");
    plan.hevc = in.flag("hevc");
    plan.bitRate = in.integer("bitRate");
    plan.byteRate = in.integer("byteRate");
    plan.frameBytesPerSecond = in.number("frameBytesPerSecond");
    plan.segmentLength = in.number("segmentLength");
    plan.segmentFrameBytes = in.number("segmentFrameBytes");
    plan.neededBytes = in.integer("neededBytes");
    plan.lowStorageThreshold = in.integer("lowStorageThreshold");
    plan.durationUsed = in.number("durationUsed");
    plan.segmentCount = int(in.integer("segmentCount"));
    entry.streaming = in.flag("streaming");
    entry.encoder.name = in.text("encoder");
    for (const QJsonValue& option : in.array("encoderOptions"))
        entry.encoder.options.append(option.toString());
    entry.encoder.hardware = in.flag("encoderHardware");
    if (!in.ok() || plan.segmentCount < 1 || plan.segmentLength <= 0 || plan.frameWidth < 2 ||
        plan.frameHeight < 2)
        return std::nullopt;
    return entry;
}

QString damaged()
{
    return QStringLiteral("Its record is damaged, so it can't be resumed.");
}

} // namespace

QByteArray encode(const JobManifest& manifest)
{
    QJsonObject object;
    object[QStringLiteral("version")] = manifest.version;
    object[QStringLiteral("id")] = manifest.id.toString(QUuid::WithoutBraces);
    object[QStringLiteral("name")] = manifest.name;
    object[QStringLiteral("detail")] = manifest.detail;
    object[QStringLiteral("created")] = manifest.created.toUTC().toString(Qt::ISODateWithMs);
    object[QStringLiteral("source")] = manifest.source;
    object[QStringLiteral("sourceSize")] = manifest.sourceSize;
    object[QStringLiteral("sourceModified")] = manifest.sourceModified;
    object[QStringLiteral("sourceDuration")] = manifest.sourceDuration;
    object[QStringLiteral("destination")] = manifest.destination;
    object[QStringLiteral("replaceDestination")] = manifest.replaceDestination;
    object[QStringLiteral("exclusiveDestination")] = manifest.exclusiveDestination;
    object[QStringLiteral("destinationHeld")] = manifest.destinationHeld;
    if (!manifest.result.isEmpty())
        object[QStringLiteral("result")] = manifest.result;
    if (!manifest.failure.isEmpty())
        object[QStringLiteral("failure")] = manifest.failure;
    object[QStringLiteral("targetHeight")] = manifest.options.targetHeight;
    object[QStringLiteral("codec")] = manifest.options.codec;
    object[QStringLiteral("quality")] = AIQualities::rawValue(manifest.options.quality);
    object[QStringLiteral("tools")] = manifest.tools;
    if (manifest.plan)
        object[QStringLiteral("plan")] = planObject(*manifest.plan);
    QJsonArray segments;
    for (const JobManifest::Segment& segment : manifest.segments) {
        QJsonObject entry;
        entry[QStringLiteral("file")] = segment.file;
        entry[QStringLiteral("frames")] = segment.frames;
        entry[QStringLiteral("duration")] = segment.duration;
        segments.append(entry);
    }
    object[QStringLiteral("segments")] = segments;
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

Decoded decode(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject())
        return {std::nullopt, damaged()};
    const QJsonObject object = document.object();
    Reader in(object);
    JobManifest manifest;
    manifest.version = int(in.integer("version"));
    if (!in.ok())
        return {std::nullopt, damaged()};
    if (manifest.version > JobManifest::kVersion)
        return {std::nullopt, QStringLiteral("It was stopped by a newer version of Korvane, so "
                                             "this version can't resume it.")};
    manifest.id = QUuid::fromString(in.text("id"));
    manifest.name = in.text("name");
    manifest.detail = in.text("detail");
    manifest.created = QDateTime::fromString(in.text("created"), Qt::ISODateWithMs);
    manifest.source = in.text("source");
    manifest.sourceSize = in.integer("sourceSize");
    manifest.sourceModified = in.integer("sourceModified");
    manifest.sourceDuration = in.number("sourceDuration");
    manifest.destination = in.text("destination");
    manifest.replaceDestination = in.flag("replaceDestination");
    // Records of earlier versions lack these; they mean the old behaviour then.
    if (in.has("exclusiveDestination"))
        manifest.exclusiveDestination = in.flag("exclusiveDestination");
    if (in.has("destinationHeld"))
        manifest.destinationHeld = in.flag("destinationHeld");
    if (in.has("result"))
        manifest.result = in.text("result");
    if (in.has("failure"))
        manifest.failure = in.text("failure");
    manifest.options.targetHeight = in.integer("targetHeight");
    manifest.options.codec = in.text("codec");
    const std::optional<AIQuality> quality = AIQualities::fromRawValue(in.text("quality"));
    manifest.tools = in.text("tools");
    const QJsonArray segments = in.array("segments");
    const auto plainName = [](const QString& name) {
        return !name.contains(QLatin1Char('/')) && !name.startsWith(QLatin1Char('.'));
    };
    if (!in.ok() || manifest.id.isNull() || !quality || manifest.source.isEmpty() ||
        manifest.destination.isEmpty() || !plainName(manifest.result))
        return {std::nullopt, damaged()};
    manifest.options.quality = *quality;
    if (in.has("plan")) {
        manifest.plan = readPlan(in.object("plan"));
        if (!manifest.plan)
            return {std::nullopt, damaged()};
    }
    for (const QJsonValue& value : segments) {
        Reader segment(value.toObject());
        JobManifest::Segment entry{segment.text("file"), segment.integer("frames"),
                                   segment.number("duration")};
        // A segment name is a plain file name inside the job's own folder.
        if (!segment.ok() || entry.file.isEmpty() || !plainName(entry.file))
            return {std::nullopt, damaged()};
        manifest.segments.append(entry);
    }
    return {manifest, QString()};
}

Decoded read(const QString& folder)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(kFileName));
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, damaged()};
    // A manifest is a few kilobytes; anything far larger is not one.
    return decode(file.read(4 << 20));
}

bool write(const QString& folder, const JobManifest& manifest, bool replace)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(kFileName);
    if (replace) {
        QSaveFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(encode(manifest)) >= 0 &&
               file.commit();
    }
    // Written beside it, then linked in only where no manifest exists yet.
    const QString staged = path + QStringLiteral(".new");
    {
        QFile file(staged);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(encode(manifest)) < 0 || !file.flush()) {
            QFile::remove(staged);
            return false;
        }
        ::fsync(file.handle());
    }
    const int linked = ::link(QFile::encodeName(staged).constData(),
                              QFile::encodeName(path).constData());
    QFile::remove(staged);
    return linked == 0 || QFileInfo::exists(path);
}

bool update(const QString& folder, const std::function<void(JobManifest&)>& change)
{
    Decoded record = read(folder);
    if (!record.manifest)
        return false;
    change(*record.manifest);
    return write(folder, *record.manifest);
}

QString toolsFingerprint()
{
    const EngineKind kind = EngineChoice::current();
    QStringList parts{kind == EngineKind::Cpu ? QStringLiteral("cpu") : QStringLiteral("vulkan")};
    for (const QString& path : {UpscaleCore::ffmpeg(), EngineChoice::binary(kind)}) {
        const QFileInfo info(path);
        parts.append(QString::number(info.size()) + QLatin1Char('@') +
                     QString::number(info.lastModified().toMSecsSinceEpoch()));
    }
    return parts.join(QLatin1Char(';'));
}

void recordSource(JobManifest& manifest)
{
    const QFileInfo info(manifest.source);
    manifest.sourceSize = info.size();
    manifest.sourceModified = info.lastModified().toMSecsSinceEpoch();
}

QString sourceProblem(const JobManifest& manifest)
{
    const QFileInfo info(manifest.source);
    const QString name = QStringLiteral("“") + info.fileName() + QStringLiteral("”");
    if (!info.isFile())
        return name + QStringLiteral(" is no longer there, so this upscale can't be resumed.");
    if (info.size() != manifest.sourceSize ||
        info.lastModified().toMSecsSinceEpoch() != manifest.sourceModified)
        return name + QStringLiteral(" has changed since this upscale stopped, so it can't be "
                                     "resumed.");
    return QString();
}

QString resumeProblem(const JobManifest& manifest)
{
    const QString source = sourceProblem(manifest);
    if (!source.isEmpty())
        return source;
    if (manifest.plan && manifest.tools != toolsFingerprint())
        return QStringLiteral("The upscaling tools have changed since this upscale stopped, so "
                              "it can't be resumed.");
    return QString();
}

Decoded inspect(const QString& folder)
{
    Decoded record = read(folder);
    if (record.manifest)
        record.problem = resumeProblem(*record.manifest);
    return record;
}

QString progressText(const JobManifest& manifest)
{
    if (!manifest.plan)
        return QStringLiteral("Not started");
    if (!manifest.result.isEmpty())
        return QStringLiteral("Finished, not saved yet");
    const int count = manifest.plan->plan.segmentCount;
    return QStringLiteral("%1 of %2 %3")
        .arg(manifest.segments.size())
        .arg(count)
        .arg(count == 1 ? QStringLiteral("segment") : QStringLiteral("segments"));
}

} // namespace JobJournal
