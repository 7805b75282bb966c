// The stop signals: noted by an async-signal-safe handler, acted on by the program itself.
#include "engine/files/StopRequest.h"

#include "engine/files/TemporaryRecord.h"

#include "word/WordAutomation.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

namespace paperloom::engine {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_signal{0};
int g_notify[2] = {-1, -1};
bool g_installed = false;

extern "C" void onStopSignal(int signal) {
    const int savedErrno = errno;
    int none = 0;
    if (!g_signal.compare_exchange_strong(none, signal)) {
        // The second one: nobody waits for the clean stop. The signal is blocked while this
        // runs, so it ends the program, by default, as soon as the handler returns.
        removeRecordedTemporaries();
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        ::sigaction(signal, &byDefault, nullptr);
        ::raise(signal);
        errno = savedErrno;
        return;
    }
    if (g_notify[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(g_notify[1], &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

void installStopSignals() {
    if (g_installed) {
        return;
    }
    g_installed = true;
    if (::pipe2(g_notify, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_notify[0] = g_notify[1] = -1;
    }
    for (const int signal : kStopSignals) {
        struct sigaction previous {};
        ::sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) {
            continue; // started to ignore it (nohup, a background job): keep ignoring it
        }
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        action.sa_flags = SA_RESTART;
        ::sigemptyset(&action.sa_mask);
        for (const int other : kStopSignals) {
            ::sigaddset(&action.sa_mask, other);
        }
        ::sigaction(signal, &action, nullptr);
    }
    ::signal(SIGXFSZ, SIG_IGN);
}

int stopSignal() noexcept {
    return g_signal.load();
}

int stopNotifier() noexcept {
    return g_notify[0];
}

void throwIfStopRequested() {
    const int signal = stopSignal();
    if (signal == 0) {
        return;
    }
    const char* name = ::sigabbrev_np(signal);
    throw WordInterrupted("The join was stopped because Paperloom was asked to end (SIG" +
                              std::string(name != nullptr ? name : "?") + ").",
                          "signal " + std::to_string(signal));
}

void endByStopSignal() {
    const int signal = stopSignal();
    if (signal == 0) {
        return;
    }
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    ::sigaction(signal, &byDefault, nullptr);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

} // namespace paperloom::engine
