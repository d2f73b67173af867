#pragma once

#include <optional>

#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

// Ties a finished upscale to the image it came from. The image model forgets its source picture as
// soon as it queues a job and announces the result later, named only by the source's file name; the
// screen remembers each picture it queued here and pairs the result with the oldest remembered
// picture of that name whose size, times the scale, is the result's size. A result that matches
// nothing is not paired, so the screen never compares a result with another image.
// Threading: main thread.
class ImageResultTracker final {
public:
    struct Pair {
        QUrl source;
        QImage original;
        QImage upscaled;
    };

    // The screen queued source, whose picture is original.
    void queued(const QUrl& source, const QImage& original);
    // A job of this name finished with upscaled at scale: the paired source, or none.
    std::optional<Pair> finished(const QString& name, qint64 scale, const QImage& upscaled);
    // A job of this name failed: forgets the oldest picture of that name.
    void failed(const QString& name);
    qsizetype pendingCount() const { return m_pending.size(); }

private:
    struct Pending {
        QUrl source;
        QImage original;
    };
    // Enough for any queue a person builds; the oldest are dropped first.
    static constexpr qsizetype kLimit = 64;

    QList<Pending> m_pending;
};
