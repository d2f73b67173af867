#pragma once

#include <optional>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "engine/EngineError.h"

// Puts finished results at their destination so that nothing the user has is lost:
// - the result is written beside the destination under a hidden temporary name and renamed over
//   the final name only when complete (one folder, so the rename is atomic);
// - an existing entry at the destination is replaced only when the user chose that exact file;
//   otherwise the next free numbered name is taken;
// - when the result cannot be put in place it is kept in the temporary folder (WorkFolder::keep)
//   and the failure names where it is.
//
// Threading: the placing functions block on the disk and run on a job's worker; the checks are
// quick and run on the main thread when a job is queued.
namespace OutputFile {

enum class Mode {
    KeepExisting, // an existing entry of that name stays; the result takes the next free name
    Replace,      // the user chose this exact file: it is replaced once the result is complete
};

// What placing a result ended with: where it is, or the failure and where the result was kept
// (empty when it could not be kept either).
struct Placement {
    QString path;
    std::optional<EngineError> error;
    QString keptPath;
};

// The hidden name a result has beside destination while it is written.
QString partialPath(const QString& destination);

// True when both paths name one existing file after resolving links.
bool sameFile(const QString& a, const QString& b);

// Moves the finished file (normally in the temporary folder) to destination. what names the
// result in messages ("video", "image").
Placement place(const QString& finished, const QString& destination, Mode mode,
                const QString& what);
// Writes bytes to a temporary file first, then places it like place().
Placement placeBytes(const QByteArray& bytes, const QString& extension, const QString& destination,
                     Mode mode, const QString& what);

// Why a job must not be queued for destination: its folder is missing or cannot be written, it
// is one of the inputs, or the folder's volume has less than neededBytes free (0: not checked).
// nullopt when it may go ahead.
std::optional<QString> destinationProblem(const QString& destination, const QStringList& inputs,
                                          qint64 neededBytes, const QString& what);

// Why nothing can be written into folder (missing, or not writable); nullopt when it can.
std::optional<QString> folderProblem(const QString& folder, const QString& what);

// Ends every item of a batch or bulk list as failed, with the reason as its status.
template <typename Item> void failEvery(QList<Item>& items, const QString& reason)
{
    for (Item& item : items) {
        item.status = reason;
        item.failed = true;
        item.outputURL.clear();
        item.keptURL.clear();
    }
}

// The message for a volume with too little room: "<needed> are needed and <free> are free".
QString spaceMessage(const QString& folder, qint64 neededBytes, qint64 freeBytes);

} // namespace OutputFile
