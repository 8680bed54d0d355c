// How a run ends: the exit status it leaves, the closing prompt, and the
// unload of the board library.
#ifndef VANTREL_APP_RUN_ENDING_H
#define VANTREL_APP_RUN_ENDING_H

// The run did what it was asked (also a run that only listed the boards).
constexpr int kExitDone = 0;
// The usage screen was shown: the command line asked for nothing.
constexpr int kExitUsage = 1;
// The run ended on a failure: no library, no interface, no board, a file
// that could not be opened, read or written, a board operation that failed,
// or a report that could not be shown.
constexpr int kExitFailed = 2;
// The operator declined the flash at its confirmation (ESC, end of input).
constexpr int kExitAborted = 3;

// Prints "Press any key to exit..." on its own line and waits for one key:
// the closing prompt of every ending that has one.
void PressAnyKeyToExit();

// Unloads the board library; returns `status`, the exit status.
int EndRun(int status);

// Prints "Press any key to exit...", waits for a key, then ends the run with
// `status`.
int FinishRun(int status);

#endif
