// The closing prompt of every ending.
#ifndef VANTREL_APP_PRESS_ANY_KEY_H
#define VANTREL_APP_PRESS_ANY_KEY_H

// Prints "Press any key to exit..." on its own line and waits for one key.
void PressAnyKeyToExit();

#endif
