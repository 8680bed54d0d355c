#include "testing/e2e/work_folder.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "testing/e2e/session.h"

namespace e2e {

#ifdef VANTREL_WINE
static void RunWine(const std::vector<std::string>& args) {
  std::string command = std::string("'") + VANTREL_WINE + "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) abort();
}
#endif

WorkFolder::WorkFolder() {
  char pattern[] = "/tmp/vantrel-e2e-XXXXXX";
  if (mkdtemp(pattern) == nullptr) abort();
  folder_ = pattern;
}

WorkFolder::~WorkFolder() { std::filesystem::remove_all(folder_); }

std::string WorkFolder::PathOfLength(std::size_t length, const std::string& name) const {
  const std::string folder = Path("");
  const std::size_t padding = length - folder.size() - name.size();
  std::string path = folder;
  for (std::size_t i = 0; i < padding / 2; ++i) path += "./";
  if (padding % 2 != 0) path += "/";
  return path + name;
}

void WorkFolder::WriteRegistry(const std::string& lines) {
  std::ofstream(Path("registry.reg"), std::ios::binary)
      << "Windows Registry Editor Version 5.00\r\n\r\n"
      // Under Wine the file is imported into the prefix's registry, where the
      // key of an earlier run must go first.
      << (kUnderWine ? "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby]\r\n\r\n" : "")
      << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby\\Ferrule\\1.0\\PLX9080]\r\n"
      << lines;
#ifdef VANTREL_WINE
  // The registry view that the program's own bitness reads (/reg:32 for the
  // 32-bit build: its keys live under Wow6432Node in a 64-bit prefix).
  RunWine({"reg", "import", Path("registry.reg"), VANTREL_WINE_REG_VIEW});
#endif
}

void WorkFolder::RegisterLibrary(const std::string& library) {
  std::string escaped = kUnderWine && library[0] == '/' ? "Z:" : "";
  for (char c : library) {
    if (c == '\\' || c == '"') escaped += '\\';
    escaped += c;
  }
  WriteRegistry("\"path\"=\"" + escaped + "\"\r\n");
}

void WorkFolder::WriteScenario(const std::string& text) {
  std::ofstream(Path("work.txt"), std::ios::binary) << "journal " << Path("journal.txt") << "\n" << text;
}

void WorkFolder::Store(const std::string& name, const std::string& bytes) const {
  std::ofstream(Path(name), std::ios::binary) << bytes;
}

std::string WorkFolder::Contents(const std::string& name) const {
  std::ifstream file(Path(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WorkFolder::HasJournal() const { return std::filesystem::exists(Path("journal.txt")); }

std::string WorkFolder::Journal() const { return Contents("journal.txt"); }

std::map<std::string, std::string> WorkFolder::Environment() const {
  return {{"VANTREL_REGISTRY", Path("registry.reg")}, {"VANTREL_SIMBOARD_SCENARIO", Path("work.txt")}};
}

}  // namespace e2e
