// Hostile and broken inputs, end to end: what the operator sees for each, and
// that nothing is written that was not confirmed. Each case is a row of the
// README's table of bad inputs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/e2e/expected_output.h"
#include "testing/e2e/session.h"
#include "testing/e2e/work_folder.h"

namespace {

using e2e::kConfirm;
using e2e::kDeviceRead;
using e2e::kFlashed;
using e2e::kListed;
using e2e::kNotFound;
using e2e::kPressAnyKey;
using e2e::kSaved;

const std::string kBoard(128, 'B');
// What the cases flash: never the board's own image, so that a board left
// as it was tells that nothing was written.
const std::string kImage(128, 'I');
// Stands for the register report in an expected output.
const std::string kReport = "<report>";

std::string Reading(const std::string& path) { return "Reading EEPROM data from file " + path + "...\n"; }
std::string NotOpened(const std::string& path) {
  return Reading(path) + "Couldn`t open file " + path + "\n\nPress any key to exit...";
}
std::string Loaded(const std::string& path) {
  return Reading(path) + "EEPROM data was loaded successfully.\nEEPROM data from file:\n" + kReport +
         kConfirm;
}
const std::string kSaving = kDeviceRead + kReport;

// What a case sets up in its folder, and what it expects of the run.
struct Plan {
  std::vector<std::string> args;
  std::vector<std::string> keys;  // each typed at a key wait
  std::string output;             // all of standard output; kReport stands for the report
  std::string answer = "";        // typed at the selection prompt
  bool board_written = false;     // WriteFlash reached the board
  bool library_loaded = true;
  std::string saved = "";  // a file that must now hold the board's 128 bytes
  e2e::SessionOptions session = {};
  // The keys go in as scripted input on Linux (e2e::ScriptedOnLinux).
  bool scripted_on_linux = false;
  int status = 0;
  std::string errors = "";  // see e2e::ExpectExit
  // Why the case cannot run here ("" when it can), and what else it checks.
  std::string skip = "";
  std::function<void(const e2e::WorkFolder&, const e2e::Ending&)> check = nullptr;
  // Something the case changed outside its folder, put back when it ends.
  std::shared_ptr<void> restore = nullptr;
};

struct BadInputCase {
  const char* name;
  std::function<Plan(e2e::WorkFolder&)> prepare;
  // Why the case cannot run against the Windows build under Wine, if so.
  const char* not_under_wine = nullptr;
};

const char* const kNoFifo = "Windows has no FIFOs among its files";
const char* const kPosixPath = "/dev and /proc paths are the POSIX build's own";
const char* const kPosixOwners = "links in shared folders and file owners are the POSIX build's own";
const char* const kWineServerOpens =
    "Wine's server opens the files, and it keeps the privilege the test takes from the program";
const char* const kMaxPath = "a Windows path ends at 259 characters: the 4096-byte case shows the limit";
const char* const kAnsiArguments =
    "the Windows build takes its arguments in the ANSI code page, where this UTF-8 name turns into '?'";
const char* const kSystemRegistry = "the Windows build reads the system registry, not a .reg file";
// The system's words for a path past Windows' limit.
const std::string kTooLongOnWindows = ".* \\(error [0-9]+\\)";

void PrintTo(const BadInputCase& c, std::ostream* out) { *out << c.name; }

// `actual` is `expected` with a register report where kReport stands.
void ExpectOutput(const std::string& actual, const std::string& expected) {
  const std::size_t at = expected.find(kReport);
  if (at == std::string::npos) {
    EXPECT_EQ(actual, expected);
    return;
  }
  const std::string before = expected.substr(0, at);
  const std::string after = expected.substr(at + kReport.size());
  ASSERT_GE(actual.size(), before.size() + after.size()) << actual;
  EXPECT_EQ(actual.substr(0, before.size()), before);
  EXPECT_EQ(actual.substr(actual.size() - after.size()), after);
  const std::string report = actual.substr(before.size(), actual.size() - before.size() - after.size());
  EXPECT_EQ(report.rfind("\n-------------------------------------\nDevice ID: 0x", 0), 0u) << report;
  const std::string rule = "-------------------------------------\n\n";
  EXPECT_EQ(report.substr(report.size() - rule.size()), rule);
}

// Whether a file that only root could read is unreadable with the privilege
// that overrides file permissions dropped, as it is for any other user.
bool PermissionsHoldHere(const e2e::WorkFolder& work) {
  const std::string path = work.Path("probe");
  work.Store("probe", "");
  chmod(path.c_str(), 0);
  const pid_t child = fork();
  if (child == 0) {
    e2e::DropAccessOverride();
    _exit(open(path.c_str(), O_RDONLY) < 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Another user may not reach the build folder (a checkout in a home folder
// of mode 0700): such a run starts copies of the tool and the simulated
// library from the case's folder. "" or why that cannot work.
std::string CopyForAnotherUser(e2e::WorkFolder& work, std::string& program) {
  namespace fs = std::filesystem;
  for (fs::path folder = work.Path(""); !folder.empty() && folder != folder.parent_path();) {
    folder = folder.parent_path();
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
      return "another user cannot reach the case's folder through " + folder.string();
    }
  }
  const fs::path library = fs::path(SIMBOARD_PATH).filename();
  std::error_code failed;
  fs::copy_file(VANTREL_PATH, work.Path("vantrel"), failed);
  if (!failed) fs::copy_file(SIMBOARD_PATH, work.Path(library), failed);
  if (failed) return "the tool cannot be copied for another user: " + failed.message();
  work.RegisterLibrary(work.Path(library));
  program = work.Path("vantrel");
  return "";
}

class BadInputTest : public testing::TestWithParam<BadInputCase> {};

TEST_P(BadInputTest, EndsWithAClearMessageAndWritesNothingUnconfirmed) {
  if (e2e::kUnderWine && GetParam().not_under_wine != nullptr) GTEST_SKIP() << GetParam().not_under_wine;
  e2e::WorkFolder work;
  work.RegisterLibrary(SIMBOARD_PATH);
  work.WriteScenario("board 1 id=0x02014c31 eeprom=" + work.Path("board.bin") + "\n");
  work.Store("board.bin", kBoard);
  const Plan plan = GetParam().prepare(work);
  if (!plan.skip.empty()) GTEST_SKIP() << plan.skip;
  if (plan.session.ordinary_access && !PermissionsHoldHere(work)) {
    GTEST_SKIP() << "this machine lets the tests read a file of mode 000 even without the privilege that "
                    "overrides file permissions (no capabilities to drop)";
  }

  std::string program = VANTREL_PATH;
  if (plan.session.user >= 0) {
    const std::string reason = CopyForAnotherUser(work, program);
    if (!reason.empty()) GTEST_SKIP() << reason;
  }

  const e2e::KeyInput input = plan.scripted_on_linux ? e2e::ScriptedOnLinux(plan.keys, plan.session)
                                                     : e2e::KeyInput{plan.session, plan.keys};
  e2e::Session session(program, plan.args, work.Environment(), input.options);
  ASSERT_TRUE(session.AnswerAndPress(plan.answer, input.typed));
  const e2e::Ending ending = session.Finish();
  ExpectOutput(ending.output, plan.output);
  e2e::ExpectExit(ending, plan.status, plan.errors);

  EXPECT_EQ(work.HasJournal(), plan.library_loaded);
  EXPECT_EQ(work.Journal().find("WriteFlash") != std::string::npos, plan.board_written) << work.Journal();
  if (!plan.board_written) {
    EXPECT_EQ(work.Contents("board.bin"), kBoard);
  }
  if (!plan.saved.empty()) {
    EXPECT_EQ(work.Contents(plan.saved).size(), 128u);
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(work.Path(""))) {
    EXPECT_EQ(entry.path().filename().string().rfind(".vantrel-save-", 0), std::string::npos) << entry.path();
  }
  if (plan.check) plan.check(work, ending);
}

// A flash ends as its output says: a file that did not load fails (2), the
// confirmation answered with ESC declines (3), a write is done (0). Its
// subject is the image file, so its keys are scripted on Linux.
Plan Flash(const std::string& path, const std::string& output, std::vector<std::string> keys) {
  Plan plan{{"-f", path}, std::move(keys), kListed + output};
  plan.scripted_on_linux = true;
  plan.status = output.find("Couldn`t open file") != std::string::npos ? 2
                : plan.keys.back() == "\x1b"                           ? 3
                                                                       : 0;
  return plan;
}

INSTANTIATE_TEST_SUITE_P(
    ImageFile, BadInputTest,
    testing::Values(BadInputCase{"Fifo",
                                 [](e2e::WorkFolder& work) {
                                   const std::string path = work.Path("image.bin");
                                   if (mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo";
                                   Plan plan = Flash(path, NotOpened(path), {"k"});
                                   plan.errors = e2e::WhyLine(path, "a FIFO, not a file");
                                   return plan;
                                 },
                                 kNoFifo},
                    BadInputCase{
                        "DevZero",
                        [](e2e::WorkFolder&) { return Flash("/dev/zero", Loaded("/dev/zero"), {"\x1b"}); }},
                    BadInputCase{"Unreadable",
                                 [](e2e::WorkFolder& work) {
                                   const std::string path = work.Path("image.bin");
                                   work.Store("image.bin", kImage);
                                   chmod(path.c_str(), 0);
                                   Plan plan = Flash(path, NotOpened(path), {"k"});
                                   plan.session.ordinary_access = true;
                                   plan.errors = e2e::WhyLine(path, "Permission denied");
                                   return plan;
                                 },
                                 kWineServerOpens},
                    BadInputCase{"SparseOneGibibyte",
                                 [](e2e::WorkFolder& work) {
                                   const std::string path = work.Path("image.bin");
                                   std::filesystem::resize_file((work.Store("image.bin", ""), path),
                                                                1ULL << 30);
                                   Plan plan = Flash(path, Loaded(path), {"\x1b"});
                                   plan.errors = e2e::SizeLine(path, 1LL << 30);
                                   return plan;
                                 }},
                    BadInputCase{"PathOf4095Bytes",
                                 [](e2e::WorkFolder& work) {
                                   work.Store("image.bin", kImage);
                                   const std::string path = work.PathOfLength(4095, "image.bin");
                                   Plan plan = Flash(path, Loaded(path) + kFlashed, {"k", "k"});
                                   plan.board_written = true;
                                   return plan;
                                 },
                                 kMaxPath},
                    BadInputCase{"PathOf4096Bytes",
                                 [](e2e::WorkFolder& work) {
                                   work.Store("image.bin", kImage);
                                   const std::string path = work.PathOfLength(4096, "image.bin");
                                   Plan plan = Flash(path, NotOpened(path), {"k"});
                                   plan.errors = e2e::WhyLine(path, "File name too long", kTooLongOnWindows);
                                   return plan;
                                 }},
                    BadInputCase{"NonAsciiPath",
                                 [](e2e::WorkFolder& work) {
                                   const std::string name =
                                       "\xd0\xbe\xd0\xb1\xd1\x80\xd0\xb0\xd0\xb7-\xe7\x94\xbb-\xff.bin";
                                   work.Store(name, kImage);
                                   return Flash(work.Path(name), Loaded(work.Path(name)), {"\x1b"});
                                 },
                                 kAnsiArguments}),
    e2e::CaseName());

Plan Save(const std::string& path, const std::string& ending) {
  Plan plan{{"-s", path},
            {"k"},
            kListed + kSaving + "Writing EEPROM data to file " + path + "...\n" + ending + kPressAnyKey};
  plan.status = ending == kSaved ? 0 : 2;
  return plan;
}

INSTANTIATE_TEST_SUITE_P(
    SaveFile, BadInputTest,
    testing::Values(BadInputCase{"PathOf4095Bytes",
                                 [](e2e::WorkFolder& work) {
                                   Plan plan = Save(work.PathOfLength(4095, "saved.bin"), kSaved);
                                   plan.saved = "saved.bin";
                                   return plan;
                                 },
                                 kMaxPath},
                    BadInputCase{"PathOf4096Bytes",
                                 [](e2e::WorkFolder& work) {
                                   const std::string path = work.PathOfLength(4096, "saved.bin");
                                   Plan plan = Save(path, "Couldn`t open file\n");
                                   plan.errors = e2e::WhyLine(path, "File name too long", kTooLongOnWindows);
                                   return plan;
                                 }},
                    BadInputCase{"NonAsciiPath",
                                 [](e2e::WorkFolder& work) {
                                   const std::string name = "\xe4\xbf\x9d\xe5\xad\x98-\xfe.bin";
                                   Plan plan = Save(work.Path(name), kSaved);
                                   plan.saved = name;
                                   return plan;
                                 },
                                 kAnsiArguments}),
    e2e::CaseName());

// Failures whose reason only the system knows, or that the tool finds out
// itself: each ends with one line on standard error saying why.
Plan Failing(Plan plan, const std::string& errors) {
  plan.errors = errors;
  return plan;
}
const std::string kEmptyName = "vantrel: the file name is empty\n";
const std::string kNoFolderOnWindows = e2e::WindowsError(3);

INSTANTIATE_TEST_SUITE_P(
    Reason, BadInputTest,
    testing::Values(
        // NUL is the Windows build's /dev/null: both open and give no byte.
        BadInputCase{"ImageThatEndsAtOnce",
                     [](e2e::WorkFolder&) {
                       const std::string path = e2e::kUnderWine ? "NUL" : "/dev/null";
                       Plan plan = Flash(
                           path, Reading(path) + "File reading failed!\n\n" + "Press any key to exit...",
                           {"k"});
                       plan.status = 2;
                       return Failing(plan, e2e::WhyLine(path, "ended after 0 of 128 bytes"));
                     }},
        BadInputCase{"EmptyImageName",
                     [](e2e::WorkFolder&) { return Failing(Flash("", NotOpened(""), {"k"}), kEmptyName); }},
        BadInputCase{"EmptyImageNameAttached",
                     [](e2e::WorkFolder&) {
                       Plan plan = Flash("", NotOpened(""), {"k"});
                       plan.args = {"--flash="};
                       return Failing(plan, kEmptyName);
                     }},
        BadInputCase{"EmptySaveName",
                     [](e2e::WorkFolder&) { return Failing(Save("", "Couldn`t open file\n"), kEmptyName); }},
        BadInputCase{"EmptySaveNameAttached",
                     [](e2e::WorkFolder&) {
                       Plan plan = Save("", "Couldn`t open file\n");
                       plan.args = {"--save="};
                       return Failing(plan, kEmptyName);
                     }},
        BadInputCase{"SaveOntoAFolder",
                     [](e2e::WorkFolder& work) {
                       mkdir(work.Path("folder").c_str(), 0755);
                       return Failing(
                           Save(work.Path("folder"), "Couldn`t open file\n"),
                           e2e::WhyLine(work.Path("folder"), "Is a directory", e2e::WindowsError(5)));
                     }},
        BadInputCase{"SaveBelowAFile",
                     [](e2e::WorkFolder& work) {
                       const std::string path = work.Path("board.bin/saved.bin");
                       return Failing(Save(path, "Couldn`t open file\n"),
                                      e2e::WhyLine(path, "Not a directory", kNoFolderOnWindows));
                     }},
        BadInputCase{"SaveThroughALinkLoop",
                     [](e2e::WorkFolder& work) {
                       const std::string path = work.Path("loop");
                       if (symlink("loop", path.c_str()) != 0) ADD_FAILURE() << "symlink";
                       return Failing(Save(path, "Couldn`t open file\n"),
                                      e2e::WhyLine(path, "Too many levels of symbolic links"));
                     },
                     kPosixOwners},
        BadInputCase{"NewFileInAFolderNotWritable",
                     [](e2e::WorkFolder& work) {
                       const std::string folder = work.Path("locked");
                       mkdir(folder.c_str(), 0555);
                       Plan plan = Failing(Save(folder + "/saved.bin", "Couldn`t open file\n"),
                                           e2e::WhyLine(folder + "/saved.bin", "Permission denied"));
                       plan.session.ordinary_access = true;
                       return plan;
                     },
                     kWineServerOpens}),
    e2e::CaseName());

// A folder that anyone may write and only owners may delete from, as /tmp.
std::string SharedFolder(const e2e::WorkFolder& work) {
  const std::string shared = work.Path("shared");
  mkdir(shared.c_str(), 0777);
  chmod(shared.c_str(), 01777);
  return shared;
}

Plan SaveThroughLink(e2e::WorkFolder& work, bool planted_by_another_user) {
  const std::string link = SharedFolder(work) + "/eeprom.bin";
  work.Store("victim", "secret");
  if (symlink("../victim", link.c_str()) != 0) ADD_FAILURE() << "symlink";
  Plan plan = Save(link, planted_by_another_user ? "Couldn`t open file\n" : kSaved);
  if (planted_by_another_user && lchown(link.c_str(), 65534, 65534) != 0) {
    plan.skip = "only root can give a link to another user";
  }
  if (planted_by_another_user)
    plan.errors = "vantrel: the link eeprom.bin in a shared folder belongs to another user\n";
  plan.check = [planted_by_another_user](const e2e::WorkFolder& work, const e2e::Ending&) {
    EXPECT_EQ(work.Contents("victim"), planted_by_another_user ? "secret" : kBoard);
    EXPECT_TRUE(std::filesystem::is_symlink(work.Path("shared/eeprom.bin")));
  };
  return plan;
}

// A real folder another user made in a shared folder is theirs: whatever a
// save finds in it (a link to a file of the operator's, a file of their
// own) they chose.
Plan SaveIntoPlantedFolder(e2e::WorkFolder& work) {
  const std::string planted = SharedFolder(work) + "/theirs";
  mkdir(planted.c_str(), 0700);
  Plan plan = Save(planted + "/eeprom.bin", "Couldn`t open file\n");
  if (chown(planted.c_str(), 65534, 65534) != 0 || chmod(planted.c_str(), 0777) != 0) {
    plan.skip = "only root can give a folder to another user";
  }
  plan.errors = "vantrel: the folder theirs in a shared folder belongs to another user\n";
  plan.check = [](const e2e::WorkFolder& work, const e2e::Ending&) {
    EXPECT_FALSE(std::filesystem::exists(work.Path("shared/theirs/eeprom.bin")));
  };
  return plan;
}

// Sets a kernel setting such as fs.protected_symlinks for the case; "" or
// why it cannot.
std::string SetKernelSetting(Plan& plan, const std::string& file, const std::string& value) {
  std::string before;
  if (!std::getline(std::ifstream(file), before)) return file + " cannot be read here";
  if (before == value) return "";
  if (!(std::ofstream(file) << value << "\n")) return "only root can set " + file;
  plan.restore =
      std::shared_ptr<void>(nullptr, [file, before](void*) { std::ofstream(file) << before << "\n"; });
  return "";
}

// A file that another user put in a shared folder for the operator to save
// over: left as it is, with its owner.
Plan SaveOverPlantedFile(e2e::WorkFolder& work) {
  const std::string path = SharedFolder(work) + "/backup.bin";
  work.Store("shared/backup.bin", "planted");
  Plan plan = Save(path, "Couldn`t open file\n");
  plan.errors = "vantrel: backup.bin in a shared folder belongs to another user\n";
  if (chmod(path.c_str(), 0666) != 0 || chown(path.c_str(), 65534, 65534) != 0) {
    plan.skip = "only root can give a file to another user";
  }
  plan.check = [path](const e2e::WorkFolder& work, const e2e::Ending&) {
    EXPECT_EQ(work.Contents("shared/backup.bin"), "planted");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
  };
  return plan;
}

// Another user's link to a folder, in the middle of the path: not followed,
// even where the kernel would follow it (fs.protected_symlinks = 0).
Plan SaveThroughPlantedFolderLink(e2e::WorkFolder& work) {
  const std::string link = SharedFolder(work) + "/LINK";
  mkdir(work.Path("private").c_str(), 0755);
  work.Store("private/eeprom.bin", "secret");
  if (symlink("../private", link.c_str()) != 0) ADD_FAILURE() << "symlink";
  Plan plan = Save(link + "/eeprom.bin", "Couldn`t open file\n");
  plan.errors = "vantrel: the link LINK in a shared folder belongs to another user\n";
  if (lchown(link.c_str(), 65534, 65534) != 0) {
    plan.skip = "only root can give a link to another user";
  } else {
    plan.skip = SetKernelSetting(plan, "/proc/sys/fs/protected_symlinks", "0");
  }
  plan.check = [](const e2e::WorkFolder& work, const e2e::Ending&) {
    EXPECT_EQ(work.Contents("private/eeprom.bin"), "secret");
  };
  return plan;
}

// A folder that takes no new file, so the save writes in place, and a write
// that stops after 100 bytes: the file keeps its size and the bytes past
// those written.
Plan InPlaceWriteCutShort(e2e::WorkFolder& work) {
  const std::string old(1000, 'o');
  const std::string folder = work.Path("locked");
  mkdir(folder.c_str(), 0755);
  work.Store("locked/saved.bin", old);
  chmod(work.Path("locked/saved.bin").c_str(), 0666);
  chmod(folder.c_str(), 0555);
  // The journal goes to a device, which the file size limit does not stop.
  work.WriteScenario("board 1 id=0x02014c31 eeprom=" + work.Path("board.bin") + "\njournal /dev/null\n");
  Plan plan = Save(folder + "/saved.bin", "Error write file\n");
  plan.errors = e2e::WhyLine(folder + "/saved.bin", "File too large");
  plan.library_loaded = false;  // no journal to look at
  plan.session.ordinary_access = true;
  plan.session.file_size_limit = 100;
  plan.check = [old](const e2e::WorkFolder& work, const e2e::Ending&) {
    const std::string now = work.Contents("locked/saved.bin");
    ASSERT_EQ(now.size(), old.size());
    EXPECT_EQ(now.substr(128), old.substr(128));
  };
  return plan;
}

// A folder with no room for the new file: the save fails and says why; the
// old file is not written in place.
Plan NoRoomForTheNewFile(e2e::WorkFolder& work) {
  const std::string folder = work.Path("small");
  mkdir(folder.c_str(), 0755);
  Plan plan = Save(folder + "/saved.bin", "Couldn`t open file\n");
  plan.errors = "vantrel: no new file can be made beside saved.bin: No space left on device\n";
  // Room for the folder and one file.
  if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "nr_inodes=2,size=64k") != 0) {
    plan.skip = "only root can mount a file system with no room left";
    return plan;
  }
  plan.restore = std::shared_ptr<void>(nullptr, [folder](void*) { umount2(folder.c_str(), MNT_DETACH); });
  work.Store("small/saved.bin", "old contents");
  plan.check = [](const e2e::WorkFolder& work, const e2e::Ending&) {
    EXPECT_EQ(work.Contents("small/saved.bin"), "old contents");
  };
  return plan;
}

// What a save to `path` prints when the bytes go to standard output.
Plan SaveToStandardOutput(const std::string& path) {
  Plan plan = Save(path, kBoard + kSaved);
  plan.status = 0;
  return plan;
}

INSTANTIATE_TEST_SUITE_P(
    SaveSafety, BadInputTest,
    testing::Values(
        BadInputCase{"LinkPlantedInASharedFolderByAnotherUser",
                     [](e2e::WorkFolder& work) { return SaveThroughLink(work, true); }, kPosixOwners},
        BadInputCase{"OwnLinkInASharedFolder",
                     [](e2e::WorkFolder& work) { return SaveThroughLink(work, false); }, kPosixOwners},
        BadInputCase{"FilePlantedInASharedFolderByAnotherUser", SaveOverPlantedFile, kPosixOwners},
        BadInputCase{"FolderPlantedInASharedFolderByAnotherUser", SaveIntoPlantedFolder, kPosixOwners},
        BadInputCase{"FolderLinkPlantedInASharedFolderByAnotherUser", SaveThroughPlantedFolderLink,
                     kPosixOwners},
        BadInputCase{"InPlaceWriteCutShortKeepsTheRest", InPlaceWriteCutShort, kWineServerOpens},
        BadInputCase{"NoRoomForTheNewFile", NoRoomForTheNewFile, kPosixOwners},
        BadInputCase{"FifoWithoutReader",
                     [](e2e::WorkFolder& work) {
                       const std::string path = work.Path("saved.bin");
                       if (mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo";
                       Plan plan = Save(path, "Couldn`t open file\n");
                       plan.errors = e2e::WhyLine(path, "a FIFO that nobody reads");
                       return plan;
                     },
                     kNoFifo},
        BadInputCase{"DevStdout", [](e2e::WorkFolder&) { return SaveToStandardOutput("/dev/stdout"); },
                     kPosixPath},
        BadInputCase{"ProcSelfFd", [](e2e::WorkFolder&) { return SaveToStandardOutput("/proc/self/fd/1"); },
                     kPosixPath},
        // Written in place where the folder takes no new file.
        BadInputCase{"FolderNotWritable",
                     [](e2e::WorkFolder& work) {
                       const std::string folder = work.Path("locked");
                       mkdir(folder.c_str(), 0755);
                       work.Store("locked/saved.bin", "old contents");
                       chmod(work.Path("locked/saved.bin").c_str(), 0666);
                       chmod(folder.c_str(), 0555);
                       Plan plan = Save(folder + "/saved.bin", kSaved);
                       plan.session.ordinary_access = true;
                       plan.check = [](const e2e::WorkFolder& work, const e2e::Ending&) {
                         EXPECT_EQ(work.Contents("locked/saved.bin"), kBoard);
                       };
                       return plan;
                     },
                     kWineServerOpens},
        // An operator saving over a file of a group they belong to.
        BadInputCase{"GroupKept",
                     [](e2e::WorkFolder& work) {
                       const std::string path = work.Path("saved.bin");
                       work.Store("saved.bin", "old contents");
                       Plan plan = Save(path, kSaved);
                       // The folder is the group's to write: one that anyone may
                       // write would trust only the operator's own files.
                       if (chown(path.c_str(), 0, 100) != 0 || chmod(path.c_str(), 0664) != 0 ||
                           chown(work.Path("").c_str(), 0, 100) != 0 ||
                           chmod(work.Path("").c_str(), 0775) != 0 || geteuid() != 0) {
                         plan.skip = "only root can start the tool as another user";
                       }
                       plan.session.user = 65534;
                       plan.session.groups = {65534, 100};
                       plan.check = [path](const e2e::WorkFolder& work, const e2e::Ending&) {
                         struct stat info {};
                         ASSERT_EQ(stat(path.c_str(), &info), 0);
                         EXPECT_EQ(info.st_gid, 100u);
                         EXPECT_EQ(info.st_mode & 07777, 0664u);
                         EXPECT_EQ(work.Contents("saved.bin"), kBoard);
                       };
                       return plan;
                     },
                     kPosixOwners}),
    e2e::CaseName());

const std::string kKey = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby\\Ferrule\\1.0\\PLX9080]\r\n";

Plan NotFound() {
  Plan plan{{"-x"}, {"k"}, kNotFound, "", false, false};
  plan.status = 2;
  plan.errors = "vantrel: registry file .*: not a registry export .*\n";
  return plan;
}
Plan Found() { return Plan{{"-x"}, {"k"}, kListed + kPressAnyKey}; }

INSTANTIATE_TEST_SUITE_P(
    RegistryFile, BadInputTest,
    testing::Values(BadInputCase{"Empty",
                                 [](e2e::WorkFolder& work) {
                                   work.Store("registry.reg", "");
                                   return NotFound();
                                 },
                                 kSystemRegistry},
                    BadInputCase{"BinaryGarbage",
                                 [](e2e::WorkFolder& work) {
                                   std::string garbage = "\xff\xfe";
                                   for (std::uint32_t x = 1; garbage.size() < 65536;) {
                                     x = x * 1103515245u + 12345u;
                                     garbage += static_cast<char>(x >> 24);
                                   }
                                   work.Store("registry.reg", garbage);
                                   return NotFound();
                                 },
                                 kSystemRegistry},
                    BadInputCase{"TenMegabytes",
                                 [](e2e::WorkFolder& work) {
                                   std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
                                   for (int key = 0; text.size() < 10 * 1000 * 1000; ++key) {
                                     text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other\\" + std::to_string(key) +
                                             "]\r\n\"path\"=\"/nowhere\"\r\n";
                                   }
                                   work.Store("registry.reg",
                                              text + kKey + "\"path\"=\"" + SIMBOARD_PATH + "\"\r\n");
                                   return Found();
                                 },
                                 kSystemRegistry},
                    // As an import would leave it: the later value counts.
                    BadInputCase{"KeyTwice",
                                 [](e2e::WorkFolder& work) {
                                   work.Store("registry.reg", "Windows Registry Editor Version 5.00\r\n\r\n" +
                                                                  kKey + "\"path\"=\"/nowhere\"\r\n\r\n" +
                                                                  kKey + "\"path\"=\"" + SIMBOARD_PATH +
                                                                  "\"\r\n");
                                   return Found();
                                 },
                                 kSystemRegistry}),
    e2e::CaseName());

INSTANTIATE_TEST_SUITE_P(BoardLibrary, BadInputTest,
                         testing::Values(BadInputCase{
                             "ThousandBoards",
                             [](e2e::WorkFolder& work) {
                               work.WriteScenario("board 1-1000 id=0x02014c31\n");
                               const std::string path = work.Path("saved.bin");
                               Plan plan = Save(path, kSaved);
                               plan.output =
                                   e2e::ListingOf(1000, "AQ-214 (65 MSPS, 14 bit, rev. 1) [id=0x2014c31]") +
                                   kSaving + "Writing EEPROM data to file " + path + "...\n" + kSaved +
                                   kPressAnyKey;
                               plan.answer = "1000\n";
                               plan.saved = "saved.bin";
                               return plan;
                             }}),
                         e2e::CaseName());

// Ctrl+C or a termination request while the program waits for the
// confirmation: it ends by that signal, the terminal has its line editing
// and echo back, and the board was not written.
TEST(BadInputSignalTest, SignalAtTheConfirmationWritesNothing) {
  if (e2e::kUnderWine) GTEST_SKIP() << e2e::kPosixSignalsOnly;
  for (const int signal_number : {SIGINT, SIGTERM}) {
    e2e::WorkFolder work;
    work.RegisterLibrary(SIMBOARD_PATH);
    work.WriteScenario("board 1 id=0x02014c31 eeprom=" + work.Path("board.bin") + "\n");
    work.Store("board.bin", kBoard);
    work.Store("image.bin", std::string(128, 'I'));
    e2e::Session session(VANTREL_PATH, {"-f", work.Path("image.bin")}, work.Environment());
    ASSERT_TRUE(session.WaitForOutputEnding(kConfirm));
    ASSERT_TRUE(session.InterruptAtKeyWait(signal_number));
    const e2e::Ending ending = session.Finish();
    EXPECT_FALSE(ending.exited);
    EXPECT_EQ(ending.signal, signal_number);
    EXPECT_EQ(session.TerminalSettings().c_lflag & (ICANON | ECHO), static_cast<tcflag_t>(ICANON | ECHO));
    EXPECT_EQ(work.Journal().find("WriteFlash"), std::string::npos);
    EXPECT_EQ(work.Contents("board.bin"), kBoard);
  }
}

}  // namespace
