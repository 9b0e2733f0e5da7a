#include "app/platform/EventHandler.h"

#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "app/platform/MsgBox.h"
#include "app/platform/RuntimeError.h"

namespace talvane {

void ReportRuntimeError(const RuntimeError& error) {
    MsgBox(
        QStringLiteral("Run-time error '%1':\n\n%2").arg(error.Number()).arg(error.Description()),
        vbOKOnly | vbCritical);
}

namespace {

// Writes `text` to standard error without allocating: there may be no memory left.
void WriteToStandardError(const char* text) {
    for (size_t left = std::strlen(text); left > 0;) {
        const ssize_t written = ::write(STDERR_FILENO, text, left);
        if (written <= 0) return;
        text += written;
        left -= size_t(written);
    }
}

// Memory set aside at start-up and given back when the program runs out: the message box
// that says so, and Qt's laying out of the list that the failed scan left, need some.
constexpr size_t kReserveSize = size_t(32) << 20;
void* gReserve = std::malloc(kReserveSize);

void ReleaseReserve() {
    std::free(gReserve);
    gReserve = nullptr;
}

// Sets memory aside again, for the next time, if there is any to be had.
void TakeReserve() {
    if (!gReserve) gReserve = std::malloc(kReserveSize);
}

// Reports a failure, or, when even that fails (Qt cannot build the box for lack of memory),
// says so on standard error and ends the program with a status that tells why.
void ReportOrEnd(const char* what, const std::function<void()>& report) {
    try {
        report();
    } catch (...) {
        EndUnreported(what);
    }
}

}  // namespace

void EndUnreported(const char* what) {
    WriteToStandardError("talvane: ");
    WriteToStandardError(what);
    WriteToStandardError(" (the message could not be shown)\n");
    ::_exit(kExitUnreported);
}

void EndUnreportedOnTerminate() {
    std::set_terminate([] {
        const char* what = "ended by a failure no handler caught";
        try {
            if (std::exception_ptr failure = std::current_exception())
                std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            what = "Out of memory";
        } catch (const std::exception& error) {
            what = error.what();
        } catch (...) {
        }
        EndUnreported(what);
    });
}

namespace {
int gHandlersRunning = 0;
}  // namespace

bool InEventHandler() { return gHandlersRunning > 0; }

void RunEventHandler(const std::function<void()>& handler) {
    struct Running {
        Running() { ++gHandlersRunning; }
        ~Running() { --gHandlersRunning; }
    } running;
    try {
        handler();
    } catch (const RuntimeError& error) {
        ReportOrEnd(error.what(), [&] { ReportRuntimeError(error); });
    } catch (const std::bad_alloc&) {
        ReleaseReserve();
        ReportOrEnd("Out of memory", [] {
            ReportRuntimeError(RuntimeError(errOutOfMemory, QStringLiteral("Out of memory")));
        });
        TakeReserve();
    } catch (const std::exception& error) {
        ReportOrEnd(error.what(), [&] {
            ReportRuntimeError(
                RuntimeError(errPathFileAccess, QString::fromLocal8Bit(error.what())));
        });
    }
}

}  // namespace talvane
