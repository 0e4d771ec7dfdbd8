#include "host/lock/grace_period.h"

#include <time.h>

namespace kivo {

std::chrono::nanoseconds BootClockNow() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace kivo
