#pragma once

#include <optional>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>

#include "processing/SaveDialog.h"
#include "support/TestSupport.h"

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

} // namespace KorvaneTest
