#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "engine/AIQuality.h"
#include "processing/OutputFile.h"
#include "processing/UpscaleJob.h"

// The queued job of one picture, for the image screen, the multiple-picture screen and the
// command line alike: the AI pass, the optional colour and sharpness adjustments, the encoding
// (PNG, JPEG, or the JPEG that matches the source's file size) and the placing of the result.
//
// Threading: make and the completion run on the main thread; the work runs on the queue's worker
// with the settings captured when it was made.
namespace ImageJob {

// Everything the work needs, captured when the job is made.
struct Settings {
    QString input;
    QString destination;
    OutputFile::Mode mode = OutputFile::Mode::KeepExisting;
    AIQuality quality = AIQuality::Detailed;
    int scale = 4;
    QString format = QStringLiteral("png"); // "png" or "jpg"
    bool matchFileSize = false;             // a JPEG about as large as the source file
    qint64 sourceBytes = 0;
    bool advanced = false; // apply the adjustments below
    double sharpness = 0;
    double brightness = 0;
    double contrast = 1;
    double saturation = 1;
};

// What the work made, for the completion: the picture and its description, or where a result
// was kept after a failed save.
struct Outcome {
    QImage image;
    QString info;
    QString keptPath;
};

// The job. finished (main thread) gets the result and what the work left in outcome; left runs
// instead when the job is taken off the queue before it ran. Both are optional.
UpscaleJob make(const Settings& settings, const QString& name, const QString& detail,
                std::function<void(const UpscaleJob::Result&, const Outcome&)> finished,
                std::function<void()> left = {});

// The work itself (worker thread); returns where the result was placed.
QString run(const Settings& settings, Outcome& outcome, const UpscaleJob::ProgressReporter& report);

// Encodes as PNG, or as JPEG ("jpg") with quality 0 to 1.
QByteArray encode(const QImage& image, const QString& format, double quality);
// The JPEG whose size comes closest to targetBytes without going over, when one does.
QByteArray encodeMatchingSize(const QImage& image, qint64 targetBytes);
// Memory the result of a picture of size takes at scale, with the adjustments' planes.
qint64 memoryNeeded(const QSize& size, int scale, bool advanced);
// "2.1 MB", "340 KB", "12 B".
QString byteString(double bytes);
// "1920×1080 px · 2.1 MB".
QString pixelInfo(const QImage& image, double bytes);

} // namespace ImageJob
