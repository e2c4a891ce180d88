#pragma once

namespace trevolan {

// Work that must be done when a polite signal ends the program (SIGTERM, SIGINT,
// SIGHUP, SIGQUIT): removing the temporary file of a save in progress, telling the
// spreadsheet bridge to end its Calc. The actions run in the signal handler, in the
// order they were added, so each may only do what is async-signal-safe; then the signal
// does what it did before: it ends the program, or runs the handler that was there. A
// signal that the program ignores stays ignored. The handler is installed at the first
// call; an action added twice runs once. At most eight actions.
void OnEndingSignal(void (*action)());

}  // namespace trevolan
