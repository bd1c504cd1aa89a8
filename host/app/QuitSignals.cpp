#include "QuitSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace telmaris {

namespace {
int gSignalFds[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalFds[0], &byte, 1);
}
}  // namespace

void QuitOnSignals(std::function<void()> quit) {
    if (gSignalFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalFds)) {
        return;
    }
    auto* notifier =
        new QSocketNotifier(gSignalFds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [quit = std::move(quit)] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(gSignalFds[1], &byte, 1);
        quit();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace telmaris
