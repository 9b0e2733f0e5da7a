#include "app/platform/Form.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <vector>

#include "app/platform/Accessibility.h"
#include "app/platform/EventHandler.h"
#include "app/platform/Screen.h"
#include "app/platform/ToolCaption.h"
#include "app/platform/WindowManagerHints.h"

namespace talvane {

namespace {
// Every form in existence, oldest first.
std::vector<Form*> gForms;
std::function<void()> gOnLastFormUnloaded = [] { QCoreApplication::quit(); };
}  // namespace

// A form is loaded from when it is made until it unloads (its window may live on a moment
// longer, until the event that unloaded it is over).
int LoadedFormCount() {
    return int(std::count_if(gForms.begin(), gForms.end(),
                             [](const Form* form) { return !form->unloaded_; }));
}
void SetOnLastFormUnloaded(std::function<void()> action) {
    gOnLastFormUnloaded = std::move(action);
}

QWidget* ProgramWindow() {
    Form* shown = nullptr;
    for (Form* form : gForms) {
        if (!form->isVisible()) continue;
        if (!form->parentWidget()) return form;
        if (!shown) shown = form;
    }
    return shown;
}

// The client area tells its form when its size changes, so docked controls follow and the
// form's Resize event runs.
class ClientArea : public QWidget {
public:
    explicit ClientArea(Form* form) : QWidget(form), form_(form) {}

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        form_->ClientResized();
    }

private:
    Form* form_;
};

namespace {
Qt::WindowFlags FlagsOf(BorderStyle style) {
    if (style == vbFixedToolWindow) {
        // The frame Qt draws on Wayland offers minimise and maximise to every window; such
        // a window gets a caption of its own instead (ToolCaption). (Qt drops the frameless
        // hint beside any hint for the frame.)
        if (OnWayland()) return Qt::Tool | Qt::FramelessWindowHint;
        return Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    }
    return Qt::Window;
}
}  // namespace

Form::Form(BorderStyle borderStyle)
    : QWidget(nullptr, FlagsOf(borderStyle)),
      client_(new ClientArea(this)),
      borderStyle_(borderStyle) {
    // Before any of its controls is met by a screen reader.
    InstallAccessibleRoles();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (borderStyle == vbFixedToolWindow && (windowFlags() & Qt::FramelessWindowHint))
        layout->addWidget(caption_ = new ToolCaption(this));
    layout->addWidget(client_);
    gForms.push_back(this);
}

void Form::SetFixedClientSize(QSize size) {
    client_->setFixedSize(size);
    setFixedSize(size + QSize(0, caption_ ? caption_->height() : 0));
}

Form::~Form() { std::erase(gForms, this); }

void Form::SetMenuBar(QMenuBar* menuBar) { layout()->setMenuBar(menuBar); }

void Form::Show(Form* owner) {
    if (owner && parentWidget() != owner) setParent(owner, windowFlags());
    // After the owner is set, which has Qt write the window's type again.
    if (borderStyle_ == vbFixedToolWindow && !isVisible()) TypeAsFixedToolWindow(this);
    if (OnWayland() && parentWidget() && !isVisible()) {
        // A Wayland compositor (weston) gives the keyboard of a window that is clicked to
        // the last window it owns: the owner is left out of what the compositor is told.
        create();
        windowHandle()->setTransientParent(nullptr);
    }
    show();
    KeepFixedSizeWindowed(this);
    raise();
    if (!shownBefore_) {
        shownBefore_ = true;
        Centre();
        FitToFrame();
        // A window that is not activated when shown (the preview) may hear of nothing once
        // the window manager has framed it: it looks again for a while.
        if (!fittedToFrame_) LookForFrame(40);
    }
}

void Form::Centre() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect area = screen->geometry();
    QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
}

void Form::FitToFrame() {
    if (fittedToFrame_ || !shownBefore_ || !isVisible() || !windowHandle()) return;
    // Without a window manager there is no frame; a window manager that frames the window
    // tells its size (_NET_FRAME_EXTENTS) after the window is mapped.
    const QMargins frame = windowHandle()->frameMargins();
    if (frame.isNull()) return;
    fittedToFrame_ = true;
    const QSize frameSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    QSize client = size();
    if (outerSize_.width() >= 0)
        client.setWidth(std::max(0, outerSize_.width() - frameSize.width()));
    if (outerSize_.height() >= 0)
        client.setHeight(std::max(0, outerSize_.height() - frameSize.height()));
    if (client != size()) resize(client);
    // Centred again, now that the outer size is known.
    Centre();
}

void Form::LookForFrame(int times) {
    QTimer::singleShot(50, this, [this, times] {
        FitToFrame();
        if (!fittedToFrame_ && times > 1 && isVisible()) LookForFrame(times - 1);
    });
}

bool Form::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    // A window manager moves or activates the window it has just framed.
    const QEvent::Type type = event->type();
    if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowActivate)
        FitToFrame();
    return handled;
}

void Form::keyPressEvent(QKeyEvent* event) {
    if (!ForwardKey(event)) QWidget::keyPressEvent(event);
}
void Form::keyReleaseEvent(QKeyEvent* event) {
    if (!ForwardKey(event)) QWidget::keyReleaseEvent(event);
}

bool Form::ForwardKey(QKeyEvent* event) {
    // A Wayland compositor gives the keyboard to each window it maps, and a program cannot
    // take it back: keys that reach an owned tool window go on to its owner, where they would
    // have gone (its menus' shortcuts, else its focused control).
    QWidget* owner = parentWidget();
    if (!OnWayland() || borderStyle_ != vbFixedToolWindow || !owner || !owner->isVisible())
        return false;
    if (event->type() == QEvent::KeyPress) {
        const QKeySequence pressed(event->keyCombination());
        for (QAction* action : owner->findChildren<QAction*>()) {
            if (action->isEnabled() && action->shortcuts().contains(pressed)) {
                action->trigger();
                return true;
            }
        }
    }
    QWidget* target = owner->focusWidget() ? owner->focusWidget() : owner;
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(),
                   event->isAutoRepeat(), ushort(event->count()));
    QCoreApplication::sendEvent(target, &copy);
    return true;
}

void Form::Hide() { hide(); }

float Form::Width() const { return float(PixelsToTwips(frameGeometry().width())); }
float Form::Height() const { return float(PixelsToTwips(frameGeometry().height())); }

void Form::SetWidth(float twips) {
    outerSize_.setWidth(TwipsToPixels(twips));
    int frame = frameGeometry().width() - width();
    resize(std::max(0, outerSize_.width() - frame), height());
}

void Form::SetHeight(float twips) {
    outerSize_.setHeight(TwipsToPixels(twips));
    int frame = frameGeometry().height() - height();
    resize(width(), std::max(0, outerSize_.height() - frame));
}

float Form::ScaleWidth() const { return float(PixelsToTwips(client_->width())); }
float Form::ScaleHeight() const { return float(PixelsToTwips(client_->height())); }

void Form::Form_QueryUnload(int16_t&, int16_t) {}

void Form::ClientResized() {
    DockControls();
    RunEventHandler([this] { Form_Resize(); });
}

void Form::closeEvent(QCloseEvent* event) {
    // The close box, the window menu or the session ending: unload like any other way.
    if (unloaded_ || Unload(*this, vbFormControlMenu))
        event->accept();
    else
        event->ignore();
}

bool Unload(Form& form, int16_t mode) {
    if (form.unloaded_) return true;
    int16_t cancel = 0;
    RunEventHandler([&] { form.Form_QueryUnload(cancel, mode); });
    if (cancel != 0) return false;
    form.unloaded_ = true;
    form.hide();
    if (form.onUnloaded_) form.onUnloaded_();
    // Destroyed once the current event is over: the unload may come from one of its own
    // menu commands.
    form.deleteLater();
    if (LoadedFormCount() == 0 && gOnLastFormUnloaded) gOnLastFormUnloaded();
    return true;
}

}  // namespace talvane
