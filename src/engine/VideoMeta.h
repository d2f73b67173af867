#pragma once

#include <QString>
#include <QtGlobal>

// The facts of a video file that the preview and the pipeline work from.
struct VideoMeta {
    double duration = 0; // seconds
    double fps = 30;     // average frame rate of the first video stream; 30 when it gives none
    qint64 width = 0;    // stored size of the first video stream, rotation not applied
    qint64 height = 0;
    bool hasAudio = false; // at least one audio stream

    // Reads the file with libavformat. Blocks on the disk: call it on a worker thread.
    // Throws "No video track found" for a file without video, libav's own description for a
    // file it cannot open, and a message of its own when the length cannot be known.
    static VideoMeta load(const QString& path);
};
