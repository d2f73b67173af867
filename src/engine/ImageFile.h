#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// Reads picture files the way every part of the application needs them: upright (the EXIF
// orientation of phone photos applied), with Qt's allocation limit raised to fit the picture
// being read (its default refuses anything above about 33 megapixels), never beyond what the
// machine's memory allows, and scaled while reading when only a small copy is wanted.
//
// Threading: any thread. Reads block on the disk, so the main thread never calls them.
namespace ImageFile {

// What a file's header says: the upright size, and whether the stored pixels must be turned or
// flipped to show the picture upright.
struct Header {
    QSize size;
    bool turned = false;
    bool readable = false;
};
Header header(const QString& path);

// The memory a decoded picture of size may take: 8 bytes a pixel covers 16-bit colour.
qint64 decodedBytes(const QSize& size);
// The most memory one picture may take on this machine: half of its physical memory.
qint64 memoryAllowance();
// "This picture is too large …" for a picture of size that does not fit the allowance.
QString tooLargeMessage(const QSize& size, qint64 neededBytes);

// Reads the picture upright. With maxSide above 0 the picture comes back scaled so its longer
// side is at most maxSide. A failure gives a null image and, when error is given, the reason.
QImage read(const QString& path, int maxSide = 0, QString* error = nullptr);

// The picture the engine should read for input: input itself, or, when it carries an orientation
// tag (which the engine ignores), an upright PNG copy written into folder. Throws EngineError.
QString uprightForEngine(const QString& input, const QString& folder);

} // namespace ImageFile
