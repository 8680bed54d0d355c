// POSIX file descriptors: an owner that closes one, and reads and writes of
// a whole buffer that a signal does not cut short.
#ifndef VANTREL_PLATFORM_DESCRIPTOR_POSIX_H
#define VANTREL_PLATFORM_DESCRIPTOR_POSIX_H

#include <cstddef>

namespace platform {

// Owns an open descriptor (or -1) and closes it when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { Close(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes it now. False when close() reports an error: for a file just
  // written, the data may not have reached it.
  bool Close();
  // Closes the one it holds and takes `fd` instead.
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Hands the descriptor over to the caller, who closes it.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Reads until `size` bytes are in, the input ends or a read fails; returns
// how many were read.
std::size_t ReadFully(int fd, void* buffer, std::size_t size);
// Writes until `size` bytes are out or a write fails; returns how many were
// written.
std::size_t WriteFully(int fd, const void* data, std::size_t size);

}  // namespace platform

#endif
