#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/consent.h"
#include "platform/consent_settle.h"
#include "platform/key_press.h"

namespace {

// Puts a pseudo-terminal on this process's standard input for each test and
// types on its other side.
class KeyPressTest : public testing::Test {
 protected:
  void SetUp() override {
    // With standard input closed the terminal would take descriptor 0 itself.
    if (fcntl(STDIN_FILENO, F_GETFD) < 0) open("/dev/null", O_RDONLY);
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal_, 0);
    ASSERT_EQ(grantpt(terminal_), 0);
    ASSERT_EQ(unlockpt(terminal_), 0);
    const int slave = open(ptsname(terminal_), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    saved_stdin_ = dup(STDIN_FILENO);
    dup2(slave, STDIN_FILENO);
    close(slave);
  }
  void TearDown() override {
    dup2(saved_stdin_, STDIN_FILENO);
    close(saved_stdin_);
    if (terminal_ >= 0) close(terminal_);
  }
  void Type(const std::string& bytes) {
    ASSERT_EQ(write(terminal_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  int terminal_ = -1;
  int saved_stdin_ = -1;
};

TEST_F(KeyPressTest, DeliversKeysAsTheWindowsConsoleDoes) {
  struct Case {
    std::string typed;
    std::vector<int> codes;
  };
  const Case cases[] = {
      {"a", {'a'}},
      {"\r", {'\n'}},            // the terminal turns Enter into a line feed
      {"\x1b", {27}},            // Escape alone, told apart by the pause behind it
      {"\x1b\x1b", {27, 27}},    // two Escapes are two keys
      {"\x1bx", {27, 'x'}},      // Alt+x: Escape, then x
      {"\x1b[A", {0xE0, 0x48}},  // arrows
      {"\x1b[D", {0xE0, 0x4B}},
      {"\x1bOA", {0xE0, 0x48}},     // arrows in application mode
      {"\x1b[1;5C", {0xE0, 0x4D}},  // Ctrl+Right
      {"\x1b[5~", {0xE0, 0x49}},    // Page Up
      {"\x1b[3~", {0xE0, 0x53}},    // Delete
      {"\x1bOP", {0, 0x3B}},        // F1
      {"\x1b[21~", {0, 0x44}},      // F10
      {"\x1b[24~", {0xE0, 0x86}},   // F12
      {"\x1b[11~", {0, 0x3B}},      // F1 as some terminals send it
      {"\x1b[Az", {0xE0, 0x48, 'z'}},
      // No key: ESC, and every other byte a key of its own.
      {"\x1b[99~", {27, '[', '9', '9', '~'}},                    // unknown
      {"\x1b[", {27, '['}},                                      // nothing follows
      {"\x1bO", {27, 'O'}},                                      //
      {"\x1b[24;80R", {27, '[', '2', '4', ';', '8', '0', 'R'}},  // a cursor position report
      {"\x1b[P", {27, '[', 'P'}},                                // CSI P: no F1 here
      {"\x1b[1\x01", {27, '[', '1', 1}},                         // broken by a control byte
      // C1 controls, the 8-bit form of ESC sequences (a terminal in 8-bit
      // mode answers a query with CSI 0x9B): ESC, raw or in UTF-8.
      {"\x9b"
       "24;80R",
       {27, '2', '4', ';', '8', '0', 'R'}},
      {"\x80\x9f", {27, 27}},
      {"\xc2\x9b"
       "c",
       {27, 'c'}},
      {"\xc2\xa0\xa0\xc3\xa9", {0xC2, 0xA0, 0xA0, 0xC3, 0xA9}},  // no control: bytes as they come
      {"\xc2", {27}},  // a lone C2: a C1 control whose second byte is late
  };
  for (const Case& c : cases) {
    Type(c.typed);
    for (const int code : c.codes)
      EXPECT_EQ(platform::WaitForKeyPress(), code) << testing::PrintToString(c.typed);
  }
}

// The confirmation on a terminal, with standard output elsewhere: the
// question goes to the terminal, keys typed before it and inside the settle
// are thrown away unechoed, and only a key after a quiet settle counts.
TEST_F(KeyPressTest, ConsentTakesOnlyAKeyAfterAQuietSettle) {
  using Clock = std::chrono::steady_clock;
  Type("ab\x1b[A");
  std::thread typist([this] {
    usleep(300 * 1000);
    Type("\r");  // a second Enter 300 ms into the settle
  });
  const auto start = Clock::now();
  std::thread answer([this] {
    // Once the terminal shows the answer's mode (VMIN 1): quiet since the
    // Enter at 300 ms, that is 1300 ms in at the earliest.
    struct termios mode {};
    do {
      usleep(5 * 1000);
      tcgetattr(terminal_, &mode);
    } while ((mode.c_lflag & ICANON) != 0 || mode.c_cc[VMIN] != 1);
    Type("c");
  });
  EXPECT_EQ(platform::AwaitConsent("question\n", "/nonexistent"), platform::Consent::kGiven);
  typist.join();
  answer.join();
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300 + platform::kSettleMs));
  // What was typed before shows as the terminal echoed it then; nothing after.
  std::string shown(256, '\0');
  const ssize_t got = read(terminal_, shown.data(), shown.size());
  shown.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  EXPECT_EQ(shown.substr(shown.size() < 10 ? 0 : shown.size() - 10), "question\r\n") << shown;

  Type("k\x1b");  // ESC declines at once, settle or not
  EXPECT_EQ(platform::AwaitConsent("question\n", "/nonexistent"), platform::Consent::kDeclined);
}

TEST_F(KeyPressTest, LeavesTheTerminalAsItWasAndEndsAtHangUp) {
  struct termios before {};
  tcgetattr(STDIN_FILENO, &before);
  Type("q");
  EXPECT_EQ(platform::WaitForKeyPress(), 'q');
  struct termios after {};
  tcgetattr(STDIN_FILENO, &after);
  EXPECT_EQ(after.c_lflag, before.c_lflag);

  close(terminal_);
  terminal_ = -1;
  EXPECT_EQ(platform::WaitForKeyPress(), platform::kEndOfInput);
}

}  // namespace
