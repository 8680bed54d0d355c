#include "eeprom/eeprom_image.h"

EepromImage g_eeprom_image = {};

void ConvertWordOrder() { ConvertWordOrder(g_eeprom_image); }
