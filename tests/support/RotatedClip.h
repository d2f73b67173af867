#pragma once

#include <QFile>
#include <QTest>
#include <QtEndian>

namespace KorvaneTest {

// Turns the first track of an MP4 into a portrait one the way phones do: a 90° display matrix
// in its track header; the stored pictures stay landscape.
inline void rotateFirstTrack(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const qsizetype header = bytes.indexOf("tkhd");
    QVERIFY(header > 0);
    // Version 0 track header: the matrix follows 40 bytes of fields after the box type.
    const quint32 matrix[9] = {0, 0x10000, 0, 0xFFFF0000, 0, 0, 0, 0, 0x40000000};
    for (int i = 0; i < 9; ++i)
        qToBigEndian(matrix[i], bytes.data() + header + 44 + 4 * i);
    file.seek(0);
    file.write(bytes);
}

} // namespace KorvaneTest
