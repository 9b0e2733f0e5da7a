#include "app/platform/TerminationSignals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cerrno>

#include "app/platform/EventHandler.h"

namespace talvane {

namespace {

// The signal handler's way into the event loop: it may do no more than write a byte.
int gSignalSocket[2] = {-1, -1};
std::function<void()> gClose;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(gSignalSocket[1], &byte, 1);
    errno = saved;
}

void CloseWhenIdle() {
    // Not inside a handler, nor under a box it is waiting on: the handler finishes first.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    if (InEventHandler() || QApplication::activeModalWidget()) {
        QTimer::singleShot(10, qApp, CloseWhenIdle);
        return;
    }
    RunEventHandler(gClose);
}

}  // namespace

void CloseOnTerminationSignals(std::function<void()> close) {
    gClose = std::move(close);
    if (gSignalSocket[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalSocket) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalSocket[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char bytes[16];
        while (::read(gSignalSocket[0], bytes, sizeof bytes) > 0) {
        }
        CloseWhenIdle();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // A file operation under way is not cut short by the signal.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
}

}  // namespace talvane
