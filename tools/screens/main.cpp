// Renders every screen in representative states to PNG files for a person to look at.
// Usage: screens <output folder>
#include <QApplication>
#include <QDir>
#include <QWidget>

#include "app/SetupView.h"
#include "ui/PlaceholderView.h"

namespace {
bool render(QWidget& widget, const QSize& size, const QString& path)
{
    widget.resize(size);
    widget.show();
    QApplication::processEvents();
    return widget.grab().save(path);
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        qWarning("usage: screens <output folder>");
        return 2;
    }
    const QDir out(arguments.at(1));
    if (!QDir().mkpath(out.path())) {
        qWarning("cannot create the output folder");
        return 1;
    }
    bool ok = true;
    SetupView setup;
    ok &= render(setup, QSize(1100, 720), out.filePath(QStringLiteral("setup.png")));
    PlaceholderView placeholder;
    ok &= render(placeholder, QSize(1100, 720), out.filePath(QStringLiteral("placeholder.png")));
    return ok ? 0 : 1;
}
