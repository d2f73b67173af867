#pragma once

#include <optional>

#include <QString>

#include "engine/VideoMeta.h"

// Whether a file the user loads can be upscaled as a video, and if not, why, in words a person
// understands. The technical reason (libav's own text) goes to the log, not to the screen.
// Threading: inspect() blocks on the disk and runs on worker threads; message() is pure.
namespace VideoCheck {

enum class Problem {
    Missing,      // nothing at the path
    Folder,       // a folder, not a file
    Empty,        // zero bytes
    NoPermission, // exists, but may not be read
    SoundOnly,    // audio streams and no picture
    Picture,      // a still picture (a photo renamed .mp4)
    NoPicture,    // neither sound nor picture
    Damaged,      // libav cannot read it as media, or its length is unknown
};

struct Outcome {
    std::optional<VideoMeta> meta; // set when the file is a readable video
    Problem problem = Problem::Damaged;
    QString detail; // the technical reason, for the log
};

Outcome inspect(const QString& path);

// "“clip.mp4” is empty.", and the like for each problem; fileName is shown as given.
QString message(Problem problem, const QString& fileName);

} // namespace VideoCheck
