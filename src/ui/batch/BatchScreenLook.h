#pragma once

#include <QString>
#include <QStringList>

#include "ui/components/FilePicker.h"

// What tells the multiple-video screen and the multiple-image screen apart: their words and
// icons. Everything else about the two screens is the same.
struct BatchScreenLook {
    QString title;           // the control pane's title
    QString singleModeLabel; // the mode control's two choices
    QString multipleModeLabel;
    QString dropIcon; // the drop card's icon and lines
    QString dropTitle;
    QString dropSubtitle;
    QString listTitle;   // the list card's header
    QString countSuffix; // after "completed/total" in the header
    QString emptyIcon;   // the empty list's icon and text
    QString emptyText;
    QString itemIcon;      // a row's icon while neither done nor failed
    bool showsProgress;    // rows show a progress bar and the remaining time
    QString pickerMessage; // the file picker's message, name filters and first folder
    QStringList pickerFilters;
    FilePicker::Place pickerPlace;
    QString folderMessage; // the destination folder picker's message

    static BatchScreenLook videos()
    {
        return {QStringLiteral("Video"),
                QStringLiteral("Single Video"),
                QStringLiteral("Multiple Videos"),
                QStringLiteral("square.stack.3d.up.fill"),
                QStringLiteral("Drop videos here"),
                QStringLiteral("or click to add · multiple files, any size"),
                QStringLiteral("Videos"),
                QStringLiteral(" upscaled"),
                QStringLiteral("clock.arrow.circlepath"),
                QStringLiteral("Upscaled videos will appear here"),
                QStringLiteral("film"),
                true,
                QStringLiteral("Choose videos to upscale"),
                FilePicker::videoFilters(),
                FilePicker::Place::Videos,
                QStringLiteral("Choose a folder to save all upscaled videos")};
    }

    static BatchScreenLook images()
    {
        return {QStringLiteral("Image"),
                QStringLiteral("Single Image"),
                QStringLiteral("Multiple Images"),
                QStringLiteral("photo.stack.fill"),
                QStringLiteral("Drop images here"),
                QStringLiteral("or click to add · multiple files at once"),
                QStringLiteral("Images"),
                QStringLiteral(" done"),
                QStringLiteral("photo.on.rectangle.angled"),
                QStringLiteral("Added images will appear here"),
                QStringLiteral("photo"),
                false,
                QStringLiteral("Choose one or more images to upscale"),
                FilePicker::imageFilters(),
                FilePicker::Place::Pictures,
                QStringLiteral("Choose a folder to save all upscaled images")};
    }
};
