#pragma once

#include <optional>

#include <QString>

// Asks the user where to save a file ("askWhereToSave"). The application installs the real dialog
// at start-up; tests install one that answers by itself. Without one, nothing is chosen.
// Threading: main thread only.
class SaveDialog {
public:
    struct Request {
        QString suggestedPath; // the folder to open and the file name to suggest
        QString message;       // what the dialog asks
        QString nameFilter;    // for example "MPEG-4 movie (*.mp4)"; empty allows any file type
        QString defaultSuffix; // added when the user types a name without one; may be empty
    };

    virtual ~SaveDialog() = default;

    // The chosen path, or nullopt when the user cancelled.
    virtual std::optional<QString> chooseSaveLocation(const Request& request) = 0;

    // The dialog in use (not owned), or nullptr.
    static SaveDialog* current() { return s_current; }
    static void setCurrent(SaveDialog* dialog) { s_current = dialog; }

    // Asks the installed dialog; nullopt when none is installed or the user cancelled.
    static std::optional<QString> ask(const Request& request)
    {
        return s_current ? s_current->chooseSaveLocation(request) : std::nullopt;
    }

private:
    static inline SaveDialog* s_current = nullptr;
};
