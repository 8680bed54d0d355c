#include "platform/replace_recovery.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using Folder = std::map<std::string, std::string>;

// Plays ReplaceFileA with a backup name up to the step where it stops, as
// its documentation tells each error: the old file goes to the backup
// name, then the replacement to the target's.
struct Stand {
  Folder files;
  unsigned long stop_with = 0;
  bool move_fails = false;

  unsigned long Replace(const std::string& target, const std::string& replacement,
                        const std::string& backup) {
    if (stop_with == platform::kUnableToRemoveReplaced || stop_with == platform::kUnableToMoveReplacement)
      return stop_with;
    files[backup] = files[target];
    files.erase(target);
    if (stop_with == platform::kUnableToMoveReplacement2) return stop_with;
    files[target] = files[replacement];
    files.erase(replacement);
    return 0;
  }
  bool Move(const std::string& from, const std::string& to) {
    if (move_fails) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
};

TEST(ReplaceRecoveryTest, TheOldFileStaysUnderItsNameWhateverStepFails) {
  struct Case {
    unsigned long stop_with;
    bool move_fails;
    Folder after;
    bool lost;
  };
  const Case cases[] = {
      {0, false, {{"eeprom.bin", "new"}}, false},
      {platform::kUnableToRemoveReplaced, false, {{"eeprom.bin", "old"}, {"new.tmp", "new"}}, false},
      {platform::kUnableToMoveReplacement, false, {{"eeprom.bin", "old"}, {"new.tmp", "new"}}, false},
      {platform::kUnableToMoveReplacement2, false, {{"eeprom.bin", "old"}, {"new.tmp", "new"}}, false},
      {platform::kUnableToMoveReplacement2, true, {{"backup.tmp", "old"}, {"new.tmp", "new"}}, true},
  };
  for (const Case& c : cases) {
    Stand stand{{{"eeprom.bin", "old"}, {"new.tmp", "new"}}, c.stop_with, c.move_fails};
    bool lost = false;
    const unsigned long error = platform::ReplaceKeepingTheOld(
        [&](const std::string& t, const std::string& r, const std::string& b) {
          return stand.Replace(t, r, b);
        },
        [&](const std::string& from, const std::string& to) { return stand.Move(from, to); },
        [&](const std::string& name) { stand.files.erase(name); }, "eeprom.bin", "new.tmp", "backup.tmp",
        lost);
    EXPECT_EQ(error, c.stop_with);
    EXPECT_EQ(stand.files, c.after) << c.stop_with;
    EXPECT_EQ(lost, c.lost) << c.stop_with;
  }
}

}  // namespace
