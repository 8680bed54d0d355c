#ifndef VANTREL_APP_SAVE_PROCEDURE_H
#define VANTREL_APP_SAVE_PROCEDURE_H

#include <cstdint>

// Reads the EEPROM of board `board`, shows its report and stores it in file
// order at `path`. Ends the run and returns its exit status.
int SaveProcedure(const char* path, std::int32_t board);

#endif
