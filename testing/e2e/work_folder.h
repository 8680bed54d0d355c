// A private folder for one run of the program under test: the registry
// file, the scenario of the simulated boards and the journal the
// simulated library keeps.
#ifndef VANTREL_E2E_WORK_FOLDER_H
#define VANTREL_E2E_WORK_FOLDER_H

#include <cstddef>
#include <map>
#include <string>

namespace e2e {

class WorkFolder {
 public:
  WorkFolder();
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  // A path of exactly `length` bytes to `name` in the folder, padded with
  // "./" (and one more "/" for an odd count).
  std::string PathOfLength(std::size_t length, const std::string& name) const;
  // A registry file holding `lines` under the board library's key.
  void WriteRegistry(const std::string& lines);
  // A registry file naming `library` as the board library. Under Wine a
  // path from the root is named on drive Z:, the root of the Unix tree:
  // the Windows build takes "/x" for a folder of the current drive.
  void RegisterLibrary(const std::string& library);
  // The scenario of the simulated boards; the journal line is added in front.
  void WriteScenario(const std::string& text);
  // A file in the folder: written, read ("" when it cannot be read).
  void Store(const std::string& name, const std::string& bytes) const;
  std::string Contents(const std::string& name) const;
  bool HasJournal() const;
  std::string Journal() const;
  // VANTREL_REGISTRY and VANTREL_SIMBOARD_SCENARIO for a run in this folder.
  std::map<std::string, std::string> Environment() const;

 private:
  std::string folder_;
};

}  // namespace e2e

#endif
