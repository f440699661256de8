#include "platform/EndSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <utility>

namespace m2::platform {
namespace {

constexpr std::array<int, 3> kEndSignals{SIGTERM, SIGINT, SIGHUP};

// The write end, for the handler: a signal handler may only write to a descriptor.
std::atomic<int> g_writeEnd{-1};

void onSignal(int) {
    const int saved = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const char byte = 1;
        (void)::write(fd, &byte, 1);  // a full pipe already holds a wake-up
    }
    errno = saved;
}

int g_readEnd = -1;

void restoreDefaults() {
    for (const int signal : kEndSignals) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        (void)::sigaction(signal, &action, nullptr);
    }
}

}  // namespace

std::unique_ptr<EndSignals> EndSignals::install(std::function<void()> onEnd) {
    int fds[2];
    if (g_writeEnd.load() >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return nullptr;
    }
    g_readEnd = fds[0];
    g_writeEnd.store(fds[1]);
    std::unique_ptr<EndSignals> signals(new EndSignals());
    signals->onEnd_ = std::move(onEnd);
    signals->source_ = RunLoop::main().addReadableSource(g_readEnd, [raw = signals.get()] {
        std::array<char, 64> drained{};
        while (::read(g_readEnd, drained.data(), drained.size()) > 0) {
        }
        if (raw->onEnd_) {
            raw->onEnd_();
        }
    });
    for (const int signal : kEndSignals) {
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(signal, &action, nullptr) != 0) {
            return nullptr;  // the destructor puts back what was set
        }
    }
    return signals;
}

EndSignals::~EndSignals() {
    restoreDefaults();
    source_.reset();
    const int writeEnd = g_writeEnd.exchange(-1);
    if (writeEnd >= 0) {
        ::close(writeEnd);
    }
    if (g_readEnd >= 0) {
        ::close(g_readEnd);
        g_readEnd = -1;
    }
}

}  // namespace m2::platform
