// Prints the version resource of a Windows program the way the file's
// properties read it: the fixed version numbers, then the strings of its
// first translation, one "Name=value" a line. For the package check, which
// runs it under Wine:  version_info PROGRAM
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: version_info PROGRAM\n");
    return 2;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
  std::vector<char> data(size);
  if (size == 0 || !GetFileVersionInfoA(argv[1], 0, size, data.data())) {
    std::fprintf(stderr, "version_info: %s has no version resource\n", argv[1]);
    return 1;
  }
  void* found = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\", &found, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
    std::printf("FILEVERSION=%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  }
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", &found, &length) ||
      length < 2 * sizeof(WORD)) {
    std::fprintf(stderr, "version_info: %s names no translation\n", argv[1]);
    return 1;
  }
  const auto* translation = static_cast<const WORD*>(found);
  for (const char* name :
       {"ProductName", "ProductVersion", "FileVersion", "FileDescription", "OriginalFilename"}) {
    char query[96];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation[0], translation[1],
                  name);
    if (VerQueryValueA(data.data(), query, &found, &length) && length > 0) {
      std::printf("%s=%s\n", name, static_cast<const char*>(found));
    }
  }
  return 0;
}
