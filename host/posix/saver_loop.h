// The event loop of a saver on a POSIX system: the 30 ms beat, --frames,
// -fps and the signals that stop it, around a display connection.
#pragma once

#include <chrono>
#include <cstdint>

#include "host/posix/signals.h"
#include "host/shared/screen_scenes.h"

namespace kivo {

// What a display connection brings to the loop.
class LoopConnection {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~LoopConnection() = default;
  // The display's file descriptor: waited on while Idle, else looked at
  // whenever the loop wakes (a beat, the deadline, the watched descriptor).
  virtual int Fd() const = 0;
  // Other descriptors to wake for (a password check's answer, the system
  // bus); -1 for none.
  virtual int WatchFd() const { return -1; }
  virtual int BusFd() const { return -1; }
  // Handles every event that has arrived or is queued; false once the
  // saver should end (input, its window gone, a lost connection).
  virtual bool Dispatch() = 0;
  // Just before waiting (to flush requests, say), and just after, with
  // whether the display's descriptor became readable.
  virtual void BeforeWait() {}
  virtual void AfterWait(bool /*readable*/) {}
  // One beat: steps and shows what can be seen, adding to `times`.
  virtual void Tick(FrameTimes* times) = 0;
  // True while nothing can be seen (a window unmapped or covered, outputs
  // off or asleep): no beat is spent on it, and the loop sleeps until an
  // event arrives instead of waking every beat. A screen that only waits
  // for the window system's next frame is not hidden: the beat goes on.
  virtual bool Idle() const { return false; }
  // The next moment the connection has work of its own besides the beat
  // (a held key's repeat); the loop wakes for it and dispatches.
  virtual Clock::time_point Deadline() const { return Clock::time_point::max(); }
  // A remark for the -fps line, such as "(no MIT-SHM)".
  virtual const char* FpsNote() const { return ""; }
};

// Runs until the connection says so or a stop signal arrives. Beats come
// from the clock alone, one every SaverDriver::kTickMilliseconds, whatever
// events arrive between them; while they go on, the display's events are
// read when the loop wakes for its own reasons, so it wakes once a beat.
// After `frames` beats (unless negative) it stops drawing, says so on
// standard output ("PROGRAM: stopped after N frames") and keeps the last
// picture; with `fps` it prints frames per second and the times of one
// beat on standard error once a second.
void RunSaverLoop(LoopConnection& connection, const char* program, std::int64_t frames, bool fps);

}  // namespace kivo
