#include "processing/VideoHistory.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "engine/UpscaleCore.h"
#include "processing/HistoryJson.h"
#include "processing/HistoryStore.h"
#include "processing/ReferenceDate.h"

namespace VideoHistory {

QString path()
{
    return UpscaleCore::toolsFolder() + QStringLiteral("/history.json");
}

QByteArray encode(const QList<Entry>& entries)
{
    QJsonArray array;
    for (const Entry& entry : entries) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), HistoryJson::uuidText(entry.id));
        object.insert(QStringLiteral("name"), entry.name);
        object.insert(QStringLiteral("date"), ReferenceDate::toSeconds(entry.date));
        object.insert(QStringLiteral("targetHeight"), entry.targetHeight);
        object.insert(QStringLiteral("quality"), AIQualities::rawValue(entry.quality));
        object.insert(QStringLiteral("success"), entry.success);
        object.insert(QStringLiteral("durationSec"), entry.durationSec);
        if (!entry.outputURL.isEmpty())
            object.insert(QStringLiteral("outputURL"),
                          QString::fromUtf8(entry.outputURL.toEncoded()));
        if (entry.error)
            object.insert(QStringLiteral("error"), *entry.error);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<Entry>> decode(const QByteArray& json)
{
    const std::optional<QJsonArray> array = HistoryJson::parseArray(json);
    if (!array)
        return std::nullopt;
    QList<Entry> entries;
    for (const QJsonValue& value : *array) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        Entry entry;
        const auto id = HistoryJson::uuid(object, QStringLiteral("id"));
        const auto name = HistoryJson::string(object, QStringLiteral("name"));
        const auto date = HistoryJson::number(object, QStringLiteral("date"));
        const auto height = HistoryJson::integer(object, QStringLiteral("targetHeight"));
        const auto qualityText = HistoryJson::string(object, QStringLiteral("quality"));
        const auto success = HistoryJson::boolean(object, QStringLiteral("success"));
        const auto duration = HistoryJson::number(object, QStringLiteral("durationSec"));
        if (!id || !name || !date || !height || !qualityText || !success || !duration)
            return std::nullopt;
        const std::optional<AIQuality> quality = AIQualities::fromRawValue(*qualityText);
        if (!quality)
            return std::nullopt;
        bool valid = true;
        const auto output =
            HistoryJson::optionalString(object, QStringLiteral("outputURL"), &valid);
        const auto error = HistoryJson::optionalString(object, QStringLiteral("error"), &valid);
        if (!valid)
            return std::nullopt;
        if (output) {
            const QUrl url(*output, QUrl::StrictMode);
            if (!url.isValid() || url.isRelative())
                return std::nullopt;
            entry.outputURL = url;
        }
        entry.id = *id;
        entry.name = *name;
        entry.date = ReferenceDate::fromSeconds(*date);
        entry.targetHeight = *height;
        entry.quality = *quality;
        entry.success = *success;
        entry.durationSec = *duration;
        entry.error = error;
        entries.append(entry);
    }
    return entries;
}

std::optional<QList<Entry>> decodeForShowing(const QByteArray& json)
{
    std::optional<QList<Entry>> entries = decode(json);
    if (entries) {
        // Outputs deleted outside the program are forgotten when the file is read.
        for (Entry& entry : *entries) {
            if (!entry.outputURL.isEmpty() && !QFileInfo::exists(entry.outputURL.toLocalFile()))
                entry.outputURL.clear();
        }
    }
    return entries;
}

void record(HistoryStore& store, const Entry& entry, QObject* receiver,
            std::function<void()> saved)
{
    store.addEntry<Entry>(path(), &decode, &encode, entry, receiver, std::move(saved));
}

} // namespace VideoHistory
