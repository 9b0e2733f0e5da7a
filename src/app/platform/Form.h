#pragma once
// A form: a top-level window with a client area, load/resize/query-unload events, sizes in
// twips, an owner, and by-name access that loads it when it is referred to.

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

class QMenuBar;

namespace talvane {

// How an unload was asked for, as passed to Form_QueryUnload.
enum UnloadMode : int16_t { vbFormControlMenu = 0, vbFormCode = 1, vbAppWindows = 2 };

// How the window manager frames a form.
enum BorderStyle : int16_t {
    // A sizable frame with window menu, close box, minimise and maximise buttons.
    vbSizable = 2,
    // A thin caption with a close box only; not resizable.
    vbFixedToolWindow = 4,
};

class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(BorderStyle borderStyle = vbSizable);
    ~Form() override;

    // Displays the form (modeless), owned by `owner` when given: an owned window stays above
    // its owner and is minimised with it. The first display centres it on the screen.
    void Show(Form* owner = nullptr);
    void Hide();

    // Outer size, frame included, in twips.
    float Width() const;
    float Height() const;
    void SetWidth(float twips);
    void SetHeight(float twips);
    // Size of the client area (below the menu bar, inside the frame) in twips.
    float ScaleWidth() const;
    float ScaleHeight() const;

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    QWidget* hWnd() { return this; }

    // The area the controls live in.
    QWidget* Client() const { return client_; }
    // Fixes the size of the client area, and the window's with it.
    void SetFixedClientSize(QSize size);

    // The form's events; each default does nothing.
    virtual void Form_Load() {}
    virtual void Form_Resize() {}
    virtual void Form_QueryUnload(int16_t& cancel, int16_t unloadMode);

protected:
    void SetMenuBar(QMenuBar* menuBar);
    // Lays out docked controls; runs before every Form_Resize.
    virtual void DockControls() {}
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class ClientArea;
    friend bool Unload(Form& form, int16_t mode);
    friend int LoadedFormCount();
    template <class F>
    friend class FormSlot;
    void ClientResized();
    // Whether the key went on to the owner.
    bool ForwardKey(QKeyEvent* event);
    void Centre();
    void FitToFrame();
    // Tries FitToFrame again every 50 ms, `times` times at most.
    void LookForFrame(int times);

    QWidget* client_;
    QWidget* caption_ = nullptr;
    BorderStyle borderStyle_;
    bool shownBefore_ = false;
    // The outer size last set, in pixels (-1: not set); a window manager's frame is known
    // only once the window is on screen, and the window is fitted to it then, once.
    QSize outerSize_{-1, -1};
    bool fittedToFrame_ = false;
    bool unloaded_ = false;
    std::function<void()> onUnloaded_;
};

// Unloads the form: raises its QueryUnload, then destroys it unless it was cancelled.
// Returns whether the form went. When the last loaded form goes, the program ends.
bool Unload(Form& form, int16_t mode = vbFormCode);

// Number of forms loaded at this moment: made, by a FormSlot or not, and not yet unloaded.
int LoadedFormCount();

// The window a dialog belongs to when no window of the program is active, as right after
// another dialog closed and before the window manager hands the keyboard back: the first
// form made that is shown and has no owner, else the first shown form; none when none is.
QWidget* ProgramWindow();

// What happens when the last form unloads (by default: the application's event loop ends).
void SetOnLastFormUnloaded(std::function<void()> action);

// The single instance of a form class, loaded (hidden, with its Load event) the first time it
// is referred to, and again after it was unloaded.
template <class F>
class FormSlot {
public:
    F& Get() {
        if (!form_) {
            F* form = new F;
            form_ = form;
            form->onUnloaded_ = [this] { form_ = nullptr; };
            form->Form_Load();
        }
        return *form_;
    }
    bool IsLoaded() const { return form_ != nullptr; }

private:
    F* form_ = nullptr;
};

}  // namespace talvane
