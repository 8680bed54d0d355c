// How a run ends once the board library is bound.
#ifndef VANTREL_APP_RUN_ENDING_H
#define VANTREL_APP_RUN_ENDING_H

// Unloads the board library; returns the exit status, 0.
int EndRun();

// Prints "Press any key to exit...", waits for a key, then ends the run.
int FinishRun();

#endif
