#pragma once

#include <functional>

namespace telmaris {

// Turns SIGTERM, SIGINT and SIGHUP into a call of quit on the GUI thread (through a socket
// pair that the signal handler writes), so that a host told to stop still asks about running
// transfers and lets them clean up. Once per process.
void QuitOnSignals(std::function<void()> quit);

}  // namespace telmaris
