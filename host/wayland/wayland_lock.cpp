#include "host/wayland/wayland_lock.h"

#include <pwd.h>
#include <unistd.h>

#include <cstring>

#include "host/lock/lock_indicator.h"
#include "host/lock/secret_buffer.h"

namespace kivo {

// The prompt, drawn over an output's snow.
class WaylandLock::PromptOverlay : public SurfaceOverlay {
 public:
  PromptOverlay(const LockPrompt& prompt, const XkbKeyboard& keyboard) : prompt_(prompt), keyboard_(keyboard) {}
  ScreenRect Place(int width, int height) override {
    scale_ = IndicatorScale(height);
    const int w = IndicatorWidth(scale_), h = IndicatorHeight(scale_);
    placed_ = ScreenRect{(width - w) / 2, height * 2 / 3 - h / 2, w, h};
    return placed_;
  }
  void Paint(std::uint8_t* pixels, int stride, const ScreenRect& rect) override {
    DrawIndicator(image_, prompt_.Look(LockPrompt::Clock::now()), prompt_.Marks(), scale_, keyboard_.CapsLock());
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      const std::uint8_t* src = image_.RowAddress(y - placed_.y);
      if (src == nullptr) continue;
      src += 3 * (rect.x - placed_.x);
      std::uint8_t* dst = pixels + static_cast<std::ptrdiff_t>(y) * stride + 4 * rect.x;
      // Black is where the prompt is not: the snow shows through.
      for (int x = 0; x < rect.width; ++x, src += 3, dst += 4) {
        if ((src[0] | src[1] | src[2]) != 0) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
        }
      }
    }
  }

 private:
  const LockPrompt& prompt_;
  const XkbKeyboard& keyboard_;
  RasterImage image_;
  ScreenRect placed_;
  int scale_ = 1;
};

WaylandLock::~WaylandLock() {
  // Fail closed: a lock still held is left to the compositor, which keeps
  // the session locked. Nothing is asked of it here (destroying a lock it
  // granted is a protocol error): only our own record of the object goes.
  if (lock_ != nullptr) wl_proxy_destroy(reinterpret_cast<wl_proxy*>(lock_));
}

std::string WaylandLock::Refusal() {
  const passwd* entry = getpwuid(getuid());
  if (entry == nullptr || entry->pw_name == nullptr) return "cannot tell which user runs kivo";
  user_ = entry->pw_name;
  if (client_.LockManager() == nullptr) {
    return "this compositor cannot lock the session (it offers no ext-session-lock-v1)";
  }
  return "";
}

bool WaylandLock::Take() {
  ForbidCoreDumps();
  if (!session_.Take(Refusal())) return false;
  // The checker starts now, before any password exists; if it cannot, the
  // first Enter tries again.
  pam_.Begin("kivo", user_.c_str());
  return true;
}

void WaylandLock::Lock() {
  static const ext_session_lock_v1_listener listener = {
      [](void* data, ext_session_lock_v1*) { static_cast<WaylandLock*>(data)->events_.push_back(Event::kLocked); },
      [](void* data, ext_session_lock_v1*) { static_cast<WaylandLock*>(data)->events_.push_back(Event::kFinished); },
  };
  lock_ = ext_session_lock_manager_v1_lock(client_.LockManager());
  ext_session_lock_v1_add_listener(lock_, &listener, this);
}

void WaylandLock::Unlock() {
  prompt_.Secret().Wipe();
  ext_session_lock_v1_unlock_and_destroy(lock_);
  lock_ = nullptr;
}

void WaylandLock::Forget() {
  ext_session_lock_v1_destroy(lock_);
  lock_ = nullptr;
}

bool WaylandLock::Roundtrip() {
  const bool answered = wl_display_roundtrip(client_.Display()) >= 0;
  TakeEvents();
  return answered;
}

void WaylandLock::TakeEvents() {
  // Handed on after dispatching, never from inside a listener: the session
  // may answer with a roundtrip of its own.
  std::vector<Event> events;
  events.swap(events_);
  for (const Event e : events) {
    if (e == Event::kLocked) {
      session_.OnLocked();
    } else {
      session_.OnFinished();
    }
  }
}

std::unique_ptr<SnowWindow> WaylandLock::NewWindow(const WaylandOutput& output, std::function<void()> changed) {
  // Once unlocked, ended or refused the lock object is gone: no surface is
  // asked of it, whatever outputs come.
  if (lock_ == nullptr || session_.Over()) return nullptr;
  std::unique_ptr<SnowWindow> w = MakeLockWindow(client_, lock_, output, std::move(changed));
  w->overlay = std::make_unique<PromptOverlay>(prompt_, keyboard_);
  w->shm->SetOverlay(w->overlay.get());
  return w;
}

void WaylandLock::Listen() {
  SeatEvents events;
  events.keymap = [this](int fd, std::uint32_t size) { keyboard_.SetKeymap(fd, size); };
  events.modifiers = [this](std::uint32_t d, std::uint32_t l, std::uint32_t k, std::uint32_t g) {
    keyboard_.SetModifiers(d, l, k, g);
  };
  events.key = [this](std::uint32_t key, bool pressed) { OnKey(key, pressed); };
  events.repeat = [this](int rate, int delay) { repeat_.SetRate(rate, delay); };
  events.keyboardLeft = [this] { repeat_.Stop(); };
  // No pointer on the lock screen.
  events.pointerEnter = [this](wl_surface*, std::uint32_t serial, double, double) {
    if (client_.Pointer() != nullptr) wl_pointer_set_cursor(client_.Pointer(), serial, nullptr, 0, 0);
  };
  client_.Listen(std::move(events));
}

void WaylandLock::OnKey(std::uint32_t key, bool pressed) {
  if (!pressed) {
    repeat_.Release(key);
    return;
  }
  const auto now = Clock::now();
  XkbKeyboard::Key k = keyboard_.Press(key);
  // Characters and Backspace repeat while held; Enter and Escape act once.
  const bool repeats = (k.kind == XkbKeyboard::Kind::kText || k.kind == XkbKeyboard::Kind::kBackspace) &&
                       keyboard_.Repeats(key);
  if (repeats) {
    repeat_.Press(key, now);
  } else {
    repeat_.Stop();
  }
  Act(k, now);
  explicit_bzero(k.text, sizeof k.text);
}

void WaylandLock::RepeatKeys(Clock::time_point now) {
  for (int n = repeat_.Due(now); n > 0; --n) {
    XkbKeyboard::Key k = keyboard_.Press(repeat_.Key());
    Act(k, now);
    explicit_bzero(k.text, sizeof k.text);
  }
}

void WaylandLock::Act(const XkbKeyboard::Key& k, Clock::time_point now) {
  switch (k.kind) {
    case XkbKeyboard::Kind::kText:
      prompt_.Type(k.text, k.length, now);
      break;
    case XkbKeyboard::Kind::kBackspace:
      prompt_.Backspace();
      break;
    case XkbKeyboard::Kind::kEscape:
      // A check that takes too long (a module that never answers) can be
      // given up: the session stays locked and typing works again.
      if (pam_.Checking()) {
        pam_.Abandon();
        prompt_.Abandon(now);
      } else {
        prompt_.Escape(now);
      }
      break;
    case XkbKeyboard::Kind::kEnter:
      if (prompt_.Enter(now)) {
        SecretBuffer& secret = prompt_.Secret();
        // The helper has its own copy; this one goes at once.
        if (!pam_.Start(secret.Data(), secret.Length())) prompt_.Unavailable(now);
        secret.Wipe();
      }
      break;
    case XkbKeyboard::Kind::kNone:
      break;
  }
}

void WaylandLock::ReadCheckAnswer() {
  const PamCheck::State answer = pam_.Poll();
  if (answer == PamCheck::State::kRefused) prompt_.Answer(false, Clock::now());
  if (answer == PamCheck::State::kFailed) prompt_.Unavailable(Clock::now());
  if (answer != PamCheck::State::kAccepted) return;
  prompt_.Answer(true, Clock::now());
  session_.OnAccepted();
}

}  // namespace kivo
