#include "engine/ImageFile.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include <QImageReader>
#include <QLocale>

#include "engine/EngineError.h"
#include "engine/SystemFacts.h"

namespace ImageFile {

namespace {

// Raises Qt's process-wide limit so a picture needing neededBytes can be decoded. The limit is
// only ever raised: another thread may be reading a larger picture at the same moment.
void allowAllocation(qint64 neededBytes)
{
    static std::mutex mutex;
    const qint64 megabytes = neededBytes / (qint64(1) << 20) + 1;
    std::lock_guard lock(mutex);
    const int current = QImageReader::allocationLimit();
    if (current == 0 || current >= megabytes)
        return;
    QImageReader::setAllocationLimit(int(std::min<qint64>(megabytes, 1 << 30)));
}

QSize scaledToFit(const QSize& size, int maxSide)
{
    const int longest = std::max(size.width(), size.height());
    if (maxSide <= 0 || longest <= maxSide)
        return size;
    const double factor = double(maxSide) / double(longest);
    return QSize(std::max(1, int(std::lround(size.width() * factor))),
                 std::max(1, int(std::lround(size.height() * factor))));
}

} // namespace

Header header(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    Header result;
    const QSize stored = reader.size();
    if (!stored.isValid())
        return result;
    const QImageIOHandler::Transformations transform = reader.transformation();
    result.readable = true;
    result.turned = transform != QImageIOHandler::TransformationNone;
    result.size =
        transform.testFlag(QImageIOHandler::TransformationRotate90) ? stored.transposed() : stored;
    return result;
}

qint64 decodedBytes(const QSize& size)
{
    return qint64(std::max(size.width(), 0)) * qint64(std::max(size.height(), 0)) * 8;
}

qint64 memoryAllowance()
{
    return qint64(SystemFacts::physicalMemoryBytes() / 2);
}

QString tooLargeMessage(const QSize& size, qint64 neededBytes)
{
    return QStringLiteral("This picture is too large for this computer's memory: ") +
           QString::number(size.width()) + QStringLiteral("×") + QString::number(size.height()) +
           QStringLiteral(" pixels need about ") +
           QLocale::c().formattedDataSize(neededBytes, 1, QLocale::DataSizeSIFormat) +
           QStringLiteral(". Choose a smaller picture or a smaller scale.");
}

QImage read(const QString& path, int maxSide, QString* error)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isValid()) {
        // Formats that cannot scale while decoding still decode the whole picture first.
        const qint64 needed = decodedBytes(stored);
        if (needed > memoryAllowance()) {
            if (error)
                *error = tooLargeMessage(stored, needed);
            return {};
        }
        allowAllocation(needed);
        // The scaled size applies to the stored pixels, before they are turned upright.
        if (maxSide > 0)
            reader.setScaledSize(scaledToFit(stored, maxSide));
    }
    QImage image = reader.read();
    if (image.isNull() && error)
        *error = reader.errorString();
    return image;
}

QString uprightForEngine(const QString& input, const QString& folder)
{
    if (!header(input).turned)
        return input;
    QString problem;
    const QImage upright = read(input, 0, &problem);
    const QString copy = folder + QStringLiteral("/upright.png");
    if (upright.isNull() || !upright.save(copy, "PNG"))
        throw EngineError::engine(
            QStringLiteral("The picture could not be turned upright for upscaling: ") +
            (problem.isEmpty() ? QStringLiteral("the copy could not be written") : problem));
    return copy;
}

} // namespace ImageFile
