// What the process tells the program that started it.
#ifndef VANTREL_APP_EXIT_STATUS_H
#define VANTREL_APP_EXIT_STATUS_H

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

#endif
