// The labelled register report the operator sees before every write and
// after every read.
#ifndef VANTREL_EEPROM_IMAGE_REPORT_H
#define VANTREL_EEPROM_IMAGE_REPORT_H

#include <iostream>

// Writes the report of g_eeprom_image, taken to be in register order, in
// lower-case hexadecimal whatever base `out` was left in; `out` keeps its
// formatting settings.
void PrintImageReport(std::ostream& out = std::cout);

#endif
