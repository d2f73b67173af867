#include "processing/ImageHistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "engine/UpscaleCore.h"
#include "processing/HistoryJson.h"
#include "processing/HistoryStore.h"
#include "processing/ReferenceDate.h"

namespace ImageHistory {

QString path()
{
    return UpscaleCore::toolsFolder() + QStringLiteral("/image-history.json");
}

QByteArray encode(const QList<Entry>& entries)
{
    QJsonArray array;
    for (const Entry& entry : entries) {
        QJsonObject object;
        object.insert(QStringLiteral("id"), HistoryJson::uuidText(entry.id));
        object.insert(QStringLiteral("name"), entry.name);
        object.insert(QStringLiteral("date"), ReferenceDate::toSeconds(entry.date));
        object.insert(QStringLiteral("scale"), entry.scale);
        object.insert(QStringLiteral("success"), entry.success);
        if (entry.savedPath)
            object.insert(QStringLiteral("savedPath"), *entry.savedPath);
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
        const auto id = HistoryJson::uuid(object, QStringLiteral("id"));
        const auto name = HistoryJson::string(object, QStringLiteral("name"));
        const auto date = HistoryJson::number(object, QStringLiteral("date"));
        const auto scale = HistoryJson::integer(object, QStringLiteral("scale"));
        const auto success = HistoryJson::boolean(object, QStringLiteral("success"));
        if (!id || !name || !date || !scale || !success)
            return std::nullopt;
        bool valid = true;
        Entry entry;
        entry.savedPath = HistoryJson::optionalString(object, QStringLiteral("savedPath"), &valid);
        entry.error = HistoryJson::optionalString(object, QStringLiteral("error"), &valid);
        if (!valid)
            return std::nullopt;
        entry.id = *id;
        entry.name = *name;
        entry.date = ReferenceDate::fromSeconds(*date);
        entry.scale = *scale;
        entry.success = *success;
        entries.append(entry);
    }
    return entries;
}

void record(HistoryStore& store, const Entry& entry, QObject* receiver,
            std::function<void()> saved)
{
    store.addEntry<Entry>(path(), &decode, &encode, entry, receiver, std::move(saved));
}

} // namespace ImageHistory
