// One EEPROM transfer at a time on a bridge. Two programs clocking the same
// CNTRL register interleave their writes: what one reads is garbage, and
// after the other's EWEN a stray WRITE programs a word. Every transfer holds
// an exclusive lock on the function's sysfs resource0 file, which every
// program that maps the registers opens; a held lock fails the transfer at
// once, before any clock.
#ifndef VANTREL_PLXBOARD_TRANSFER_LOCK_H
#define VANTREL_PLXBOARD_TRANSFER_LOCK_H

#include <string>

#include "board_libraries/plxboard/pci_functions.h"

namespace plx {

class TransferLock {
 public:
  TransferLock() = default;
  ~TransferLock();
  TransferLock(const TransferLock&) = delete;
  TransferLock& operator=(const TransferLock&) = delete;

  // Takes the lock without waiting; false, and the reason in `why`, when
  // another program holds it or the file cannot be opened.
  bool Take(const PciFunction& function, std::string& why);

 private:
  int fd_ = -1;
};

}  // namespace plx

#endif
