#pragma once

#include <QApplication>
#include <QString>
#include <QTest>

// Shared pieces of the test executables.
namespace KorvaneTest {

// Gives this test process its own XDG_DATA_HOME, XDG_CONFIG_HOME and TMPDIR (fresh folders under
// the system's temporary folder), so no test sees another's files or the user's. Call before the
// application object exists.
void isolateEnvironment();
// The private root made by isolateEnvironment().
QString isolatedRoot();

// Makes the tools folder look installed from the build's staged tools: ffmpeg is copied, the
// engine binary and each model are linked. A test that writes a fake tool over one of these
// paths must use writeFakeTool, which removes the link first.
void installStagedTools();
// Writes an executable shell script at path (replacing whatever is there, links included).
void writeFakeTool(const QString& path, const QByteArray& shellBody);

// Zips the top-level entries of sourceFolder into zipPath (relative paths, Unix modes kept).
bool zipFolder(const QString& sourceFolder, const QString& zipPath);

// Writes bytes to path, creating its folder; false when that fails.
bool writeFile(const QString& path, const QByteArray& bytes);
// The whole content of path, or nothing when it cannot be read.
QByteArray readFile(const QString& path);
// The permission bits of path (setuid, setgid and sticky included), or -1 when it does not exist.
int fileMode(const QString& path);

// A JPEG whose stored pixels are width × height (red left half, blue right half) with an EXIF
// orientation tag 6, as phones write: shown upright it is height × width, red on top.
QByteArray turnedJpeg(int width, int height);

// Runs the real ffmpeg of the staged tools with arguments; returns its exit status.
int runFFmpeg(const QStringList& arguments, QByteArray* standardError = nullptr);

} // namespace KorvaneTest

// Like QTEST_MAIN, with the isolated environment and no display.
#define KORVANE_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        KorvaneTest::isolateEnvironment();                                                         \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
