// Fuzzes the .reg reader over arbitrary file contents, both directly and
// through ReadRegistryString on a real file.
//
// Checked: no crash or read past the text; ReadRegistryString never writes
// past its 256-byte buffer, and when it succeeds it holds exactly the string
// the reader found, NUL-terminated; and a text that starts with a header and
// is followed by a key line and a value line yields that value whatever the
// text held before (nothing in a file can make later lines unreadable).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/reg_file.h"
#include "platform/registry.h"

namespace {

const char kKey[] = "SOFTWARE\\Fuzz\\Key";
const char kFullKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fuzz\\Key";

std::string g_path;

bool StartsWithHeader(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string_view line = text.substr(0, text.find('\n'));
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r'))
    line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  return line == "Windows Registry Editor Version 5.00" || line == "REGEDIT4";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  char path[] = "/tmp/vantrel-reg-fuzz-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) std::abort();
  close(fd);
  g_path = path;
  std::atexit([] { unlink(g_path.c_str()); });
  setenv("VANTREL_REGISTRY", path, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::unique_ptr<char[]> copy(new char[size == 0 ? 1 : size]);
  std::memcpy(copy.get(), data, size);
  const std::string_view text(copy.get(), size);
  const platform::RegValue direct = platform::FindRegFileValue(text, kFullKey, "path");
  if (direct.kind != platform::RegValueKind::kString && !direct.text.empty()) std::abort();

  std::FILE* file = std::fopen(g_path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
  const std::unique_ptr<char[]> buffer(new char[256]);
  if (platform::ReadRegistryString(kKey, "path", buffer.get(), 256)) {
    if (direct.kind != platform::RegValueKind::kString || direct.text.size() >= 256) std::abort();
    if (std::memcmp(buffer.get(), direct.text.c_str(), direct.text.size() + 1) != 0) std::abort();
  } else if (direct.kind == platform::RegValueKind::kString && direct.text.size() < 256 &&
             direct.text.find('\0') == std::string::npos) {
    std::abort();
  }

  if (StartsWithHeader(text) && text.substr(0, 2) != "\xFF\xFE") {
    const std::string appended = std::string(text) + "\n\n[" + kFullKey + "]\n\"path\"=\"end\"\n";
    const platform::RegValue last = platform::FindRegFileValue(appended, kFullKey, "path");
    if (last.kind != platform::RegValueKind::kString || last.text != "end") std::abort();
  }
  return 0;
}
