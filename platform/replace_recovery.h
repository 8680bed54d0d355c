// Putting things back after a replacement of a file that stopped half way,
// as Windows' ReplaceFileA can. Kept apart from the system calls, so that
// each partial failure can be played through with a stand-in.
#ifndef VANTREL_PLATFORM_REPLACE_RECOVERY_H
#define VANTREL_PLATFORM_REPLACE_RECOVERY_H

#include <string>

namespace platform {

// ReplaceFileA's codes for a replacement that stopped half way.
constexpr unsigned long kUnableToRemoveReplaced = 1175;    // ERROR_UNABLE_TO_REMOVE_REPLACED
constexpr unsigned long kUnableToMoveReplacement = 1176;   // ERROR_UNABLE_TO_MOVE_REPLACEMENT
constexpr unsigned long kUnableToMoveReplacement2 = 1177;  // ERROR_UNABLE_TO_MOVE_REPLACEMENT_2

// Replaces `target` by `replacement` through `replace(target, replacement,
// backup)`, which gives 0 or the system's error, and leaves the old file
// under `target` whatever went wrong. With a backup name, the system
// leaves both files under their own names on 1175 and 1176, and on 1177
// the old file under the backup name, which `move(from, to)` puts back. On
// success the backup goes (`remove`). Returns the error; `lost` is set when
// the old file could not be put back, and is then under `backup`.
template <typename Replace, typename Move, typename Remove>
unsigned long ReplaceKeepingTheOld(Replace replace, Move move, Remove remove, const std::string& target,
                                   const std::string& replacement, const std::string& backup, bool& lost) {
  lost = false;
  const unsigned long error = replace(target, replacement, backup);
  if (error == 0) {
    remove(backup);
  } else if (error == kUnableToMoveReplacement2) {
    lost = !move(backup, target);
  }
  return error;
}

}  // namespace platform

#endif
