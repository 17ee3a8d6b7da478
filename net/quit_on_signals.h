// A stop asked for from outside (SIGTERM from the session or a service
// manager, SIGINT, SIGHUP when the terminal goes) becomes a quit of the event
// loop, so that the program ends by its usual road and removes the files it
// keeps while it runs.
#pragma once

class QCoreApplication;

namespace tw {

// Call once, with the event loop's application; logs "stopping" on a signal.
void quitOnSignals(QCoreApplication& app);

}  // namespace tw
