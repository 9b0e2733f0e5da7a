#pragma once
// The seam through which the program reaches the modal dialogs and starts other programs.
// The default desktop shows the real Qt dialogs and really starts processes; tests install
// their own to answer the dialogs.

#include <QString>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace talvane {

// The program a bare name stands for, found in PATH's absolute folders as PATH is now; a
// name with a '/' stands for itself. Empty when there is none.
std::string FindOnPath(const std::string& program);

// Buttons, icons and default button of a message box, and the button pressed.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbYesNo = 4,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton1 = 0,
    vbDefaultButton2 = 256,
};
enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal message box owned by `owner`; returns the button pressed.
    virtual int MessageBox(QWidget* owner, const QString& prompt, int style, const QString& title);

    // The modal folder dialog owned by `owner`, showing `title`; the chosen folder's path, or
    // nothing when the user cancels.
    virtual std::optional<std::string> ChooseFolder(QWidget* owner, const QString& title);

    // Starts `program` with `arguments` (passed byte-exact, no shell) in `workingDir` (the
    // program's own when empty or missing), without waiting for it and without leaving a
    // zombie. A bare name is looked for in PATH's absolute folders only, never in `workingDir`.
    // Returns whether the process could be set going; the program's own outcome is never known.
    virtual bool StartDetached(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::optional<std::string>& workingDir);
};

Desktop& TheDesktop();
// Installs `desktop` (not owned) until it is replaced; nullptr brings back the real one.
void SetDesktop(Desktop* desktop);

}  // namespace talvane
