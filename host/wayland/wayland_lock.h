// kivo -lock on Wayland: the session locked through ext-session-lock-v1,
// the prompt drawn over each output's snow, keys through xkbcommon with the
// compositor's repeat, and the password checked by PAM in a helper process.
// Only PAM's yes unlocks; every other way out leaves the session locked.
// The order the protocol demands is LockSession's; this is its compositor.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/lock/key_repeat.h"
#include "host/lock/lock_prompt.h"
#include "host/lock/lock_session.h"
#include "host/lock/pam_check.h"
#include "host/wayland/shm_surface.h"
#include "host/wayland/snow_window.h"
#include "host/wayland/wayland_client.h"
#include "host/wayland/xkb_keyboard.h"

namespace kivo {

class WaylandLock : private LockProtocol {
 public:
  using Clock = LockPrompt::Clock;
  explicit WaylandLock(WaylandClient& client, const PamFunctions& pam = kSystemPam) : client_(client), pam_(pam) {}
  ~WaylandLock() override;
  WaylandLock(const WaylandLock&) = delete;
  WaylandLock& operator=(const WaylandLock&) = delete;

  // Listens, then asks for the lock unless something here stands against
  // it, and waits for the compositor's first answer. False when it was
  // not taken: Session() says why.
  bool Take();
  // A lock surface with the prompt on `output`; null unless the lock is
  // held or on its way.
  std::unique_ptr<SnowWindow> NewWindow(const WaylandOutput& output, std::function<void()> changed);

  // What the compositor said since the last call, handed to the session.
  void TakeEvents();
  // Reads the check's answer if it has come; PAM's yes gives the session
  // back (once the compositor has said locked).
  void ReadCheckAnswer();
  // Held keys' repeats due by now.
  void RepeatKeys(Clock::time_point now);
  Clock::time_point Deadline() const { return repeat_.Next(); }
  int WatchFd() const { return pam_.Fd(); }
  void ConnectionLost() { session_.OnConnectionLost(client_.Failure()); }

  const LockSession& Session() const { return session_; }

 private:
  class PromptOverlay;
  enum class Event { kLocked, kFinished };
  std::string Refusal();
  void OnKey(std::uint32_t key, bool pressed);
  void Act(const XkbKeyboard::Key& k, Clock::time_point now);
  // LockProtocol
  void Listen() override;
  void Lock() override;
  void Unlock() override;
  void Forget() override;
  bool Roundtrip() override;

  WaylandClient& client_;
  LockSession session_{*this};
  ext_session_lock_v1* lock_ = nullptr;
  std::vector<Event> events_;  // the lock's events, in order, not yet handed on
  std::string user_;
  LockPrompt prompt_;
  XkbKeyboard keyboard_;
  KeyRepeat repeat_;
  PamCheck pam_;
};

}  // namespace kivo
