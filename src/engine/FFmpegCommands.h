#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "engine/EncoderChoice.h"

struct ModelChoice;

// The argument lists of every external program run the engine makes, exactly as passed (the
// ffmpeg ones without the "-hide_banner -loglevel error" prefix that runFFmpegSimple adds), and
// the list file of the join. Pure.
namespace FFmpegCommands {

// Seconds as ffmpeg receives them: three decimals.
QString decimal3(double value);

// The PNG frames of one segment. The first segment (start 0) is read from the beginning; a later
// one seeks quickly to 2 s before its start and then exactly over the last 2 s. The frames are
// made at exactly fps, so a variable-rate source gives as many frames as the encode will use.
// The scale filter is added only when the frames are smaller than the source.
QStringList segmentFrames(const QString& input, const QString& inFolder, double start,
                          double duration, double fps, qint64 frameHeight, qint64 sourceHeight);
// The first frame at full size, as in/frame_00000001.png.
QStringList previewFrame(const QString& input, const QString& inFolder);
// The enhanced frames of a segment encoded at the target height.
QStringList segmentEncode(const QString& outFolder, double fps, qint64 targetHeight,
                          const VideoEncoder& encoder, qint64 bitRate, bool hevc,
                          const QString& segmentPath);
QStringList concatenate(const QString& listPath, const QString& joinedPath);
// The joined video with the source's first sound stream as AAC.
QStringList addAudio(const QString& joinedPath, const QString& input, const QString& resultPath);
QStringList noAudio(const QString& joinedPath, const QString& resultPath);

// One line of the join's list, quoted for the concat demuxer.
QString concatLine(const QString& segmentPath);
// The whole list as UTF-8: one line per segment, no line feed after the last.
QByteArray concatList(const QStringList& segmentPaths);

// The Real-ESRGAN engine over a folder of PNG frames, and over one picture.
QStringList realesrganFolder(const QString& inFolder, const QString& outFolder,
                             const ModelChoice& choice, const QString& modelsFolder);
QStringList realesrganImage(const QString& input, const QString& output, const QString& model,
                            int scale, const QString& modelsFolder, const QString& format);

} // namespace FFmpegCommands
