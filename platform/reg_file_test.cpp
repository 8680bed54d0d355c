#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/reg_file.h"

namespace {

using platform::FindRegFileValue;
using platform::RegValueKind;

constexpr char kKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby\\Ferrule\\1.0\\PLX9080";
const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::string kKeyLine = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby\\Ferrule\\1.0\\PLX9080]\r\n";

struct RegCase {
  const char* what;
  std::string text;
  RegValueKind kind;
  std::string value;
};

// Named by what it shows; printed byte by byte, the padding of the record
// would be read uninitialised.
void PrintTo(const RegCase& c, std::ostream* out) { *out << c.what; }

class RegFileTest : public testing::TestWithParam<RegCase> {};

TEST_P(RegFileTest, FindsWhatAnImportWouldLeave) {
  const RegCase& c = GetParam();
  const platform::RegValue found = FindRegFileValue(c.text, kKey, "path");
  EXPECT_EQ(found.kind, c.kind);
  EXPECT_EQ(found.text, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileTest,
    testing::Values(
        RegCase{"plain", kHeader + kKeyLine + "\"path\"=\"/opt/board/lib.so\"\r\n", RegValueKind::kString,
                "/opt/board/lib.so"},
        RegCase{"regedit4 and LF", "REGEDIT4\n" + kKeyLine + "\"path\"=\"a\"\n", RegValueKind::kString, "a"},
        RegCase{"no header", kKeyLine + "\"path\"=\"a\"\n", RegValueKind::kAbsent, ""},
        RegCase{"escapes", kHeader + kKeyLine + R"("path"="C:\\Program Files\\b \"q\".dll")",
                RegValueKind::kString, "C:\\Program Files\\b \"q\".dll"},
        RegCase{"names ignore case",
                kHeader + "[hkey_local_machine\\software\\QUENBY\\ferrule\\1.0\\plx9080]\n\"PATH\"=\"a\"\n",
                RegValueKind::kString, "a"},
        RegCase{"dword", kHeader + kKeyLine + "\"path\"=dword:00000001\n", RegValueKind::kNotString, ""},
        RegCase{"binary", kHeader + kKeyLine + "\"path\"=hex:61,00\n", RegValueKind::kNotString, ""},
        RegCase{"expandable string", kHeader + kKeyLine + "\"path\"=hex(2):61,00\n", RegValueKind::kNotString,
                ""},
        RegCase{"other escape", kHeader + kKeyLine + R"("path"="a\nb")", RegValueKind::kNotString, ""},
        RegCase{"unterminated", kHeader + kKeyLine + "\"path\"=\"a\n", RegValueKind::kNotString, ""},
        RegCase{"text after the string", kHeader + kKeyLine + "\"path\"=\"a\" x\n", RegValueKind::kNotString,
                ""},
        RegCase{"other value, default value", kHeader + kKeyLine + "@=\"d\"\n\"pathx\"=\"b\"\n",
                RegValueKind::kAbsent, ""},
        RegCase{"sub key and parent key",
                kHeader + "[" + std::string(kKey) + "\\Sub]\n\"path\"=\"a\"\n[" +
                    std::string(kKey).substr(0, std::string(kKey).size() - 8) + "]\n\"path\"=\"b\"\n",
                RegValueKind::kAbsent, ""},
        RegCase{"key twice, last line wins",
                kHeader + kKeyLine + "\"path\"=\"a\"\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n" + kKeyLine +
                    "\"path\"=\"b\"\n",
                RegValueKind::kString, "b"},
        RegCase{"value deleted", kHeader + kKeyLine + "\"path\"=\"a\"\n\"path\"=-\n", RegValueKind::kAbsent,
                ""},
        RegCase{"parent key deleted",
                kHeader + kKeyLine + "\"path\"=\"a\"\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenby]\n",
                RegValueKind::kAbsent, ""},
        RegCase{"sibling with a longer name deleted",
                kHeader + kKeyLine + "\"path\"=\"a\"\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Quen]\n",
                RegValueKind::kString, "a"},
        RegCase{"hex data continued over lines",
                kHeader + kKeyLine + "\"path\"=\"a\"\n\"blob\"=hex:01,\\\n  \"path\"=\"b\"\n",
                RegValueKind::kString, "a"},
        RegCase{"comment ending in a backslash", kHeader + kKeyLine + "; see C:\\boards\\\n\"path\"=\"a\"\n",
                RegValueKind::kString, "a"},
        RegCase{"utf-8 byte order mark", "\xEF\xBB\xBF" + kHeader + kKeyLine + "\"path\"=\"a\"\n",
                RegValueKind::kString, "a"}),
    [](const testing::TestParamInfo<RegCase>& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

// regedit's own exports are UTF-16LE.
TEST(RegFileUtf16Test, ReadsUtf16ExportsAsUtf8) {
  const std::string utf8 = kHeader + kKeyLine + "\"path\"=\"/opt/caf\xC3\xA9/\xF0\x9F\x94\x8C.so\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(utf8[i]);
    if (byte == 0xC3) {  // é
      utf16 += std::string("\xE9\x00", 2);
      ++i;
    } else if (byte == 0xF0) {  // U+1F50C as a surrogate pair
      utf16 += std::string("\x3D\xD8\x0C\xDD", 4);
      i += 3;
    } else {
      utf16 += static_cast<char>(byte);
      utf16 += '\0';
    }
  }
  const platform::RegValue found = FindRegFileValue(utf16, kKey, "path");
  EXPECT_EQ(found.kind, RegValueKind::kString);
  EXPECT_EQ(found.text, "/opt/caf\xC3\xA9/\xF0\x9F\x94\x8C.so");
  // A unit that is no character (a lone surrogate of either kind, an odd
  // last byte) reads as U+FFFD: a broken comment does not hide the value.
  const std::string header = utf16.substr(0, 2 + 2 * (kHeader.size() + kKeyLine.size()));
  const std::string rest = utf16.substr(header.size());
  for (const std::string& broken : {std::string("\x0C\xDD", 2), std::string("\x3D\xD8", 2)}) {
    const std::string comment = std::string(";\0", 2) + broken + std::string("\r\0\n\0", 4);
    EXPECT_EQ(FindRegFileValue(header + comment + rest, kKey, "path").text,
              "/opt/caf\xC3\xA9/\xF0\x9F\x94\x8C.so");
  }
  EXPECT_EQ(FindRegFileValue(utf16 + "x", kKey, "path").kind, RegValueKind::kString);
}

}  // namespace
