#pragma once

#include <QImage>
#include <QString>
#include <QUuid>

// A picture handed to the zoom viewer, with the title the viewer shows.
struct ZoomItem {
    QUuid id = QUuid::createUuid();
    QImage image;
    QString label;
};
