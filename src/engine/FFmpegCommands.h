#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "engine/EncoderChoice.h"
#include "engine/VideoMeta.h"

struct ModelChoice;

// The argument lists of every external program run the engine makes, exactly as passed (the
// ffmpeg ones without the "-hide_banner -loglevel error" prefix that runFFmpegSimple adds), and
// the list file of the join. Pure.
namespace FFmpegCommands {

// Seconds as ffmpeg receives them: three decimals.
QString decimal3(double value);

// The filter that turns decoded source frames into upright, square-pixel RGB frames of the given
// size: the source's YUV read with its own matrix and range (untagged: BT.709 from 720 lines
// up), an HDR source (PQ or HLG) tone-mapped to standard-range BT.709 first.
QString extractFilter(const VideoMeta& meta, qint64 width, qint64 height);
// The input side of one segment's decode: the measured video stream only, from start for
// duration seconds, at exactly the source's rate, through extractFilter at the given size. The
// caller adds where the frames go.
QStringList segmentDecode(const QString& input, double start, double duration,
                          const VideoMeta& meta, qint64 width, qint64 height);
// The PNG frames of one segment, of the measured video stream only, at the given displayed size.
// The first segment (start 0) is read from the beginning; a later one seeks quickly to 2 s before
// its start and then exactly over the last 2 s. The frames are made at exactly the source's rate,
// so a variable-rate source gives as many frames as the encode will use.
QStringList segmentFrames(const QString& input, const QString& inFolder, double start,
                          double duration, const VideoMeta& meta, qint64 width, qint64 height);
// The first frame at its displayed size, as in/frame_00000001.png.
QStringList previewFrame(const QString& input, const QString& inFolder, const VideoMeta& meta);
// The output side of a segment's encode: scaled to the output size, converted with the BT.709
// matrix in limited range and tagged BT.709. The caller adds the input before and the file after.
QStringList videoEncode(qint64 width, qint64 height, const VideoEncoder& encoder, qint64 bitRate,
                        bool hevc);
// The enhanced frames of a segment encoded at the output size, converted with the BT.709 matrix
// in limited range and tagged BT.709; ffmpeg writes its progress to progressPath.
QStringList segmentEncode(const QString& outFolder, double fps, qint64 width, qint64 height,
                          const VideoEncoder& encoder, qint64 bitRate, bool hevc,
                          const QString& progressPath, const QString& segmentPath);
// Decodes the first second of one audio stream and fails on the first decoding error.
QStringList audioCheck(const QString& input, int streamIndex);
QStringList concatenate(const QString& listPath, const QString& progressPath,
                        const QString& joinedPath);

// What the finished file takes from the source besides the joined video.
struct FinishStreams {
    QList<int> audio;     // stream indexes, in order; encoded as AAC
    QList<int> subtitles; // text subtitle stream indexes; written as MP4 text
    double length = 0;    // seconds of the joined video: longer sound is cut there
};
// The joined video with the source's sound, text subtitles, chapters and metadata.
QStringList finish(const QString& joinedPath, const QString& input, const FinishStreams& streams,
                   const QString& progressPath, const QString& resultPath);

// The latest figures of the "-progress" output ffmpeg has written so far.
struct ProgressState {
    qint64 frames = 0;
    double seconds = 0;
    bool finished = false;
};
ProgressState progressState(const QByteArray& text);

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
