#include "host/posix/saver_loop.h"

#include <poll.h>
#include <signal.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>

#include "host/shared/saver_driver.h"

namespace kivo {
namespace {

using Clock = std::chrono::steady_clock;

// A signal handler can do nothing but set a flag.
volatile sig_atomic_t g_stopRequested = 0;
void RequestStop(int) { g_stopRequested = 1; }

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: poll() returns at once
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() { return g_stopRequested != 0; }

void RunSaverLoop(LoopConnection& connection, const char* program, std::int64_t frames, bool fps) {
  const auto tick = std::chrono::milliseconds(SaverDriver::kTickMilliseconds);
  std::int64_t ticks = 0;
  FrameTimes times;
  auto next = Clock::now();
  auto fpsStart = next;
  while (!StopRequested() && connection.Dispatch()) {
    auto now = Clock::now();
    // Nothing can be seen: no beat is spent, so the frames go on later just
    // where they stopped.
    if (connection.Idle()) next = now;
    if (now >= next && !connection.Idle()) {
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
    connection.BeforeWait();
    pollfd descriptor{connection.Fd(), POLLIN, 0};
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    const int timeout = connection.Idle() ? -1 : static_cast<int>(wait < 0 ? 0 : wait) + 1;
    const int ready = poll(&descriptor, 1, timeout);
    connection.AfterWait(ready > 0 && (descriptor.revents & POLLIN) != 0);
  }
}

}  // namespace kivo
