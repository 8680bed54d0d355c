// How a run ends once the board library is bound.
#ifndef VANTREL_APP_RUN_ENDING_H
#define VANTREL_APP_RUN_ENDING_H

// Unloads the board library; returns `status`, the exit status.
int EndRun(int status);

// Prints "Press any key to exit...", waits for a key, then ends the run with
// `status`.
int FinishRun(int status);

#endif
