// kivo -lock on Wayland: the session locked through ext-session-lock-v1,
// the prompt drawn over each output's snow, keys through xkbcommon with the
// compositor's repeat, and the password checked by PAM in a child process.
// Only PAM's yes unlocks; every other way out leaves the session locked.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "host/lock/key_repeat.h"
#include "host/lock/lock_prompt.h"
#include "host/lock/pam_check.h"
#include "host/wayland/shm_surface.h"
#include "host/wayland/snow_window.h"
#include "host/wayland/wayland_client.h"
#include "host/wayland/xkb_keyboard.h"

namespace kivo {

class WaylandLock {
 public:
  using Clock = LockPrompt::Clock;
  explicit WaylandLock(const PamFunctions& pam = kSystemPam) : pam_(pam) {}
  ~WaylandLock();
  WaylandLock(const WaylandLock&) = delete;
  WaylandLock& operator=(const WaylandLock&) = delete;

  // Asks the compositor for the lock and waits for its answer; "" once
  // locked, or why not, in one line.
  std::string Begin(WaylandClient& client);
  // A lock surface with the prompt on `output`; null once unlocked.
  std::unique_ptr<SnowWindow> NewWindow(const WaylandClient& client, const WaylandOutput& output,
                                        std::function<void()> changed);
  // Keys, their repeat and Caps Lock, from the seat.
  void Listen(WaylandClient& client);

  // Reads the check's answer if it has come; unlocks on PAM's yes. True
  // from then on.
  bool ReadCheckAnswer(WaylandClient& client);
  // Held keys' repeats due by now.
  void RepeatKeys(Clock::time_point now);
  Clock::time_point Deadline() const { return repeat_.Next(); }
  int WatchFd() const { return pam_.Fd(); }

  bool Locked() const { return locked_; }
  bool Unlocked() const { return unlocked_; }
  // The compositor ended the lock (or never gave it) without kivo unlocking.
  bool EndedByCompositor() const { return finished_; }

 private:
  class PromptOverlay;
  void OnKey(std::uint32_t key, bool pressed);
  void Act(const XkbKeyboard::Key& k, Clock::time_point now);

  ext_session_lock_v1* lock_ = nullptr;
  bool locked_ = false;    // the compositor said locked
  bool finished_ = false;  // the compositor said finished
  bool unlocked_ = false;
  std::string user_;
  LockPrompt prompt_;
  XkbKeyboard keyboard_;
  KeyRepeat repeat_;
  PamCheck pam_;
};

}  // namespace kivo
