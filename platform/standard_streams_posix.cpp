#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/standard_streams.h"

namespace platform {
namespace {

int g_saved_input_flags = -1;

}  // namespace

void RestoreStandardStreams() {
  if (g_saved_input_flags >= 0) ::fcntl(STDIN_FILENO, F_SETFL, g_saved_input_flags);
}

void PrepareStandardStreams() {
  // A reader that goes away (`| head -2`) makes a write fail with EPIPE,
  // which the run reports, instead of ending the program before a save's
  // file is written or a flash's result is told.
  ::signal(SIGPIPE, SIG_IGN);
  // In ascending order: each open takes the lowest free number, the one
  // that is missing.
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    ::open("/dev/null", fd == STDOUT_FILENO ? O_RDONLY : O_RDWR);
  }
  const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK) != 0 && ::isatty(STDIN_FILENO)) {
    g_saved_input_flags = flags;
    ::fcntl(STDIN_FILENO, F_SETFL, flags & ~O_NONBLOCK);
    std::atexit(RestoreStandardStreams);
  }
}

bool ConsoleTakesUtf8() {
  // Asked of a locale of its own, so that the program's own stays "C".
  static const bool utf8 = [] {
    const locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) return false;
    const bool answer = std::strcmp(::nl_langinfo_l(CODESET, locale), "UTF-8") == 0;
    ::freelocale(locale);
    return answer;
  }();
  return utf8;
}

}  // namespace platform
