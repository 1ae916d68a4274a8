#pragma once
#include <cstdint>

// Any line speed on a Linux tty, including those without a Bxxx constant
// (345600, 576000, 691200, 806400). Kept apart from <termios.h>, whose
// definitions clash with the kernel's.

namespace device::transport {

// Sets input and output speed of the open tty fd in bits per second; 0 on success, errno otherwise.
int SetTtySpeed(int fd, std::uint32_t baud);
// Output speed of the open tty fd in bits per second; 0 when it cannot be read.
std::uint32_t GetTtySpeed(int fd);

}  // namespace device::transport
