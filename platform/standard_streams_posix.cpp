#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

}  // namespace platform
