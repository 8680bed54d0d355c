#include "board_libraries/plxboard/transfer_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>

namespace plx {

TransferLock::~TransferLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the file gives the lock up
}

bool TransferLock::Take(const PciFunction& function, std::string& why) {
  const std::string path = function.folder + "/resource0";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = "cannot open " + path + " to claim the board: " + std::strerror(errno);
    return false;
  }
  int status;
  do {
    status = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (status != 0 && errno == EINTR);
  if (status != 0) {
    const int error = errno;
    ::close(fd);
    why = error == EWOULDBLOCK ? "in use by another program"
                               : "cannot lock " + path + ": " + std::strerror(error);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace plx
