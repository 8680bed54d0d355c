#ifndef VANTREL_APP_FLASH_PROCEDURE_H
#define VANTREL_APP_FLASH_PROCEDURE_H

#include <cstdint>

// Writes the image file at `path` into the EEPROM of board `board`, once the
// operator has seen its report and confirmed with a key. Ends the run and
// returns its exit status.
int FlashProcedure(const char* path, std::int32_t board);

#endif
