#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include "engine/AIQuality.h"

class HistoryStore;
class QObject;

// The history of finished video upscales ("history.json" in the per-user data folder), shared by
// the window and every command line: its entries and their file format.
//
// Threading: the functions are pure apart from record, which hands its work to the store.
namespace VideoHistory {

// One finished video upscale.
struct Entry {
    QUuid id;
    QString name;
    QDateTime date;
    qint64 targetHeight = 0;
    AIQuality quality = AIQuality::Detailed;
    bool success = false;
    double durationSec = 0;
    QUrl outputURL; // the file made, or kept after a failed save; empty when there is none
    std::optional<QString> error; // failures only
    bool operator==(const Entry&) const = default;
};

QString path();
QByteArray encode(const QList<Entry>& entries);
// nullopt when the text is not a history of this format.
std::optional<QList<Entry>> decode(const QByteArray& json);
// decode, with outputs that no longer exist forgotten (what the screens show). Reads the disk.
std::optional<QList<Entry>> decodeForShowing(const QByteArray& json);
// Adds entry in front of the file's entries, merged under the file's lock; saved runs on the main
// thread once it is written (while receiver exists).
void record(HistoryStore& store, const Entry& entry, QObject* receiver,
            std::function<void()> saved = {});

} // namespace VideoHistory
