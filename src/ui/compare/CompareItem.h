#pragma once

#include <QImage>
#include <QUrl>
#include <QUuid>

// One file gathered on the compare screen. Two items are the same item when their ids are.
struct CompareItem {
    QUuid id;
    QUrl url;
    bool isVideo = false;
    // For an image, the decoded picture once it has been read (null while it is being read, or
    // when it could not be decoded); always null for a video.
    QImage image;
    // For an image: whether reading it has finished (successfully or not).
    bool decoded = false;

    QString fileName() const { return url.fileName(); }
    bool operator==(const CompareItem& other) const { return id == other.id; }
};

// The two places a comparison draws from.
enum class CompareSlot { A, B };
