#include "ui/image/ImageResultTracker.h"

void ImageResultTracker::queued(const QUrl& source, const QImage& original)
{
    if (source.isEmpty() || original.isNull())
        return;
    m_pending.append(Pending{source, original});
    while (m_pending.size() > kLimit)
        m_pending.removeFirst();
}

std::optional<ImageResultTracker::Pair>
ImageResultTracker::finished(const QString& name, qint64 scale, const QImage& upscaled)
{
    if (upscaled.isNull())
        return std::nullopt;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        const Pending& pending = m_pending.at(i);
        if (pending.source.fileName() != name)
            continue;
        if (qint64(pending.original.width()) * scale != upscaled.width() ||
            qint64(pending.original.height()) * scale != upscaled.height())
            continue;
        Pair pair{pending.source, pending.original, upscaled};
        m_pending.removeAt(i);
        return pair;
    }
    return std::nullopt;
}

void ImageResultTracker::failed(const QString& name)
{
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (m_pending.at(i).source.fileName() == name) {
            m_pending.removeAt(i);
            return;
        }
    }
}
