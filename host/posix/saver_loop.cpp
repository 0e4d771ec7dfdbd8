#include "host/posix/saver_loop.h"

#include <poll.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "host/shared/saver_driver.h"

namespace kivo {
namespace {

// A hang-up counts as readable: the read then tells the connection it is lost.
bool Readable(const pollfd& descriptor) { return (descriptor.revents & (POLLIN | POLLHUP | POLLERR)) != 0; }

// Whether `fd` has something to read now, without waiting.
bool ReadableNow(int fd) {
  pollfd queued{fd, POLLIN, 0};
  return poll(&queued, 1, 0) > 0 && Readable(queued);
}

}  // namespace

void RunSaverLoop(LoopConnection& connection, const char* program, std::int64_t frames, bool fps) {
  using Clock = LoopConnection::Clock;
  const auto tick = std::chrono::milliseconds(SaverDriver::kTickMilliseconds);
  std::int64_t ticks = 0;
  FrameTimes times;
  auto next = Clock::now();
  auto fpsStart = next;
  while (!StopRequested() && connection.Dispatch()) {
    auto now = Clock::now();
    const bool idle = connection.Idle();
    // Only the clock brings a beat; while nothing can be seen none is spent,
    // so the frames go on later just where they stopped.
    if (!idle && now >= next) {
      if (frames < 0 || ticks < frames) {
        connection.Tick(&times);
        ++times.ticks;
        if (++ticks == frames) {
          std::printf("%s: stopped after %" PRId64 " frames\n", program, ticks);
          std::fflush(stdout);
        }
      }
      next += tick;
      now = Clock::now();
      if (next < now) next = now + tick;  // fell behind: keep the period, drop the debt
      const double seconds = std::chrono::duration<double>(now - fpsStart).count();
      if (fps && seconds >= 1.0) {
        if (times.ticks > 0) {
          std::fprintf(stderr, "%s: %.1f fps, frame step %.3f ms, convert %.3f ms, copy %.3f ms%s\n", program,
                       times.ticks / seconds, times.stepMs / times.ticks, times.convertMs / times.ticks,
                       times.copyMs / times.ticks, connection.FpsNote());
        }
        fpsStart = now;
        times = FrameTimes{};
      }
    }
    if (idle) fpsStart = now;  // -fps counts the time that could be seen
    connection.BeforeWait();
    const auto wake = std::min(idle ? Clock::time_point::max() : next, connection.Deadline());
    timespec timeout{};
    const timespec* wait = nullptr;  // until an event
    if (wake != Clock::time_point::max()) {
      const auto left = std::max(Clock::duration::zero(), wake - now);
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
      timeout.tv_nsec = static_cast<long>(ns % 1000000000);
      wait = &timeout;
    }
    // While the beat goes on, the display's events wait for the next wake:
    // a compositor answers each frame a few milliseconds after it, which
    // would otherwise wake the saver twice every beat. Input then waits a
    // beat at most. With nothing to draw, only an event can wake it.
    const int display = connection.Fd();
    pollfd descriptors[3] = {
        {idle ? display : -1, POLLIN, 0}, {connection.WatchFd(), POLLIN, 0}, {connection.BusFd(), POLLIN, 0}};
    // The stop signals are let through only here, so one sent at any other
    // moment ends this wait at once rather than being missed.
    const int ready = ppoll(descriptors, 3, wait, WaitMask());
    connection.AfterWait(idle ? ready > 0 && Readable(descriptors[0]) : ReadableNow(display));
  }
}

}  // namespace kivo
