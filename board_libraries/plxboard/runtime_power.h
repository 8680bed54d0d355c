// Keeping a PCI function powered while its EEPROM is read or written.
#ifndef VANTREL_PLXBOARD_RUNTIME_POWER_H
#define VANTREL_PLXBOARD_RUNTIME_POWER_H

#include <string>

#include "board_libraries/plxboard/pci_functions.h"

namespace plx {

// A function no driver holds may go to D3cold when the bridge above it
// suspends at run time (power/control "auto", as powertop and TLP set it),
// and a mapping of its resource0 holds no reference that would stop that:
// the board would stop answering in the middle of a transfer. For the
// lifetime of the object, "auto" becomes "on"; "auto" comes back after.
class PowerKeptOn {
 public:
  PowerKeptOn() = default;
  ~PowerKeptOn();
  PowerKeptOn(const PowerKeptOn&) = delete;
  PowerKeptOn& operator=(const PowerKeptOn&) = delete;

  // True when the function stays powered: its power/control reads "on",
  // now does, or is not there (a kernel without runtime power management).
  // False with the command that does it by hand in `why`.
  bool Take(const PciFunction& function, std::string& why);

 private:
  std::string restore_;  // the file to put "auto" back into, if any
};

}  // namespace plx

#endif
