#pragma once

#include <optional>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>

#include "processing/SaveDialog.h"

// Small helpers shared by the tests of the processing models.
namespace KorvaneTest {

// Answers the save dialog with a fixed path, or cancels when it has none; remembers each request.
class AnsweringSaveDialog final : public SaveDialog {
public:
    std::optional<QString> answer;
    QList<Request> requests;

    std::optional<QString> chooseSaveLocation(const Request& request) override
    {
        requests.append(request);
        return answer;
    }
};

// Writes bytes to path, creating its folder; false when that fails.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The whole content of path, or nothing when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace KorvaneTest
