#pragma once

#include <algorithm>

#include <QList>
#include <QString>
#include <QtGlobal>

// One sound or subtitle track of a video file.
struct MediaTrack {
    int index = 0;       // stream index in the file, as ffmpeg's "-map 0:<index>" takes it
    QString codec;       // libavcodec's name ("aac", "mov_text", "hdmv_pgs_subtitle", …)
    double duration = 0; // seconds; 0 when the file does not say
    bool text = false;   // a subtitle track made of text (bitmap subtitles are not)
};

// The facts of a video file that the preview and the pipeline work from.
struct VideoMeta {
    double duration = 0; // seconds
    double fps = 30;     // average frame rate of the first video stream; 30 when it gives none
    qint64 width = 0;    // stored size of the first video stream, rotation not applied
    qint64 height = 0;
    bool hasAudio = false; // at least one audio stream

    int videoStream = 0;      // stream index of the video track measured here
    int rotation = 0;         // display rotation, clockwise: 0, 90, 180 or 270
    double pixelAspect = 1.0; // width of one stored pixel relative to its height
    double videoDuration = 0; // seconds of the video track itself; 0 when the file does not say
    qint64 frameCount = 0;    // frames of the video track as the container counts them; 0: unknown
    // Colour tags of the video track as libavutil names them ("bt709", "smpte2084", "tv", …);
    // empty when the file does not say.
    QString primaries;
    QString transfer;
    QString matrix;
    QString range;
    QList<MediaTrack> audioTracks;
    QList<MediaTrack> subtitleTracks;

    // The picture as players show it: the stored size turned by the rotation and stretched to
    // square pixels (the shorter pixel side is stretched, so no stored detail is lost); even.
    qint64 displayWidth() const;
    qint64 displayHeight() const;
    qint64 displayShortSide() const { return std::min(displayWidth(), displayHeight()); }
    bool portrait() const { return displayHeight() > displayWidth(); }
    // High dynamic range: a PQ (smpte2084) or HLG (arib-std-b67) transfer.
    bool hdr() const;
    // The even size nearest to value, 2 at least: encoders of 4:2:0 video need even sides.
    static qint64 evenSize(double value);

    // Reads the file with libavformat. Blocks on the disk: call it on a worker thread.
    // Throws "No video track found" for a file without video, libav's own description for a
    // file it cannot open, and a message of its own when the length cannot be known.
    static VideoMeta load(const QString& path);
};
