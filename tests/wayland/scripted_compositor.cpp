// kivo-scripted-compositor KIVO CASE: a compositor whose one client is the `kivo -lock` it starts, sending events
// in orders the protocols allow but the real compositors here seldom produce. It checks what kivo asked and how it
// ended: ok:/FAIL: lines (a failure names its case's fault), then "N passed, M failed".
#include <linux/input-event-codes.h>
#include <signal.h>
#include <sys/wait.h>
#include <wayland-server.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "ext-session-lock-v1-server-protocol.h"
#include "scripted_cases.h"
#include "us_keymap.h"
#include "xdg-shell-server-protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Size { uint32_t serial, width, height; };
struct Surface {
  wl_resource *res = nullptr, *lockSurface = nullptr;
  wl_resource *pending = nullptr, *current = nullptr, *replaced = nullptr;  // buffers; replaced: to release
  bool attached = false;
  std::vector<Size> configures;  // sent, not yet acked
  Size acked{};
  int commits = 0;  // of a buffer of the acked size
};
struct State {
  const Case* c = nullptr;
  wl_display* display = nullptr;
  wl_event_source* timer = nullptr;
  pid_t kivo = -1;
  int status = -1, newSizeCommits = 0;  // status: kivo's, once it ended
  std::size_t step = 0;
  Clock::time_point start, stepAt;
  std::vector<Surface*> surfaces;
  std::vector<wl_resource*> frames;  // callbacks; their data is their surface until committed
  std::vector<wl_resource*> seats, keyboards, entered;
  uint32_t capabilities = 0;
  UsKeymap us;
  wl_resource* lock = nullptr;
  Surface* lockSurface = nullptr;
  bool lockAsked = false, lockedSent = false, unlocked = false, unlockBeforeLocked = false;
  bool timedOut = false, holdFrames = false;
  std::string error;
} S;

template <typename... A>
void Ignore(wl_client*, wl_resource*, A...) {}
template <typename... A>
void Refuse(wl_client*, wl_resource* r, A...) { wl_resource_post_error(r, 0, "not offered by this compositor"); }
void Destroy(wl_client*, wl_resource* r) { wl_resource_destroy(r); }
wl_resource* Make(wl_client* c, const wl_interface* i, int version, uint32_t id, const void* impl, void* data = nullptr,
                  wl_resource_destroy_func_t gone = nullptr) {
  wl_resource* r = wl_resource_create(c, i, version, id);
  wl_resource_set_implementation(r, impl, data, gone);
  return r;
}
template <typename T>
void Erase(std::vector<T>& v, const T& x) { v.erase(std::remove(v.begin(), v.end(), x), v.end()); }
Surface* Of(wl_resource* r) { return static_cast<Surface*>(wl_resource_get_user_data(r)); }
uint32_t Serial() { return wl_display_next_serial(S.display); }
uint32_t Ms() { return static_cast<uint32_t>((Clock::now() - S.start) / std::chrono::milliseconds(1)); }

// --- the lock ---------------------------------------------------------------
void SendLocked() {
  if (S.lock != nullptr && !S.lockedSent) ext_session_lock_v1_send_locked(S.lock), S.lockedSent = true;
}
void Configure(Surface* s, uint32_t width, uint32_t height) {
  s->configures.push_back({Serial(), width, height});
  ext_session_lock_surface_v1_send_configure(s->lockSurface, s->configures.back().serial, width, height);
}
const struct ext_session_lock_surface_v1_interface kLockSurface = {
    Destroy, [](wl_client*, wl_resource* r, uint32_t serial) {
      Surface* s = Of(r);
      if (s == nullptr) return;  // its surface is gone
      auto it = std::find_if(s->configures.begin(), s->configures.end(), [&](Size& c) { return c.serial == serial; });
      if (it == s->configures.end()) {
        return wl_resource_post_error(r, EXT_SESSION_LOCK_SURFACE_V1_ERROR_INVALID_SERIAL, "no configure %u", serial);
      }
      s->acked = *it;
      s->configures.erase(s->configures.begin(), it + 1);
    }};
const struct ext_session_lock_v1_interface kLock = {
    [](wl_client*, wl_resource* r) {
      if (S.lockedSent) return wl_resource_post_error(r, EXT_SESSION_LOCK_V1_ERROR_INVALID_DESTROY, "still locked");
      wl_resource_destroy(r);
    },
    [](wl_client* c, wl_resource*, uint32_t id, wl_resource* surface, wl_resource*) {
      Surface* s = S.lockSurface = Of(surface);
      s->lockSurface = Make(c, &ext_session_lock_surface_v1_interface, 1, id, &kLockSurface, s,
                            [](wl_resource* r) { if (Surface* owner = Of(r)) owner->lockSurface = nullptr; });
      Configure(s, 640, 480);
    },
    [](wl_client*, wl_resource* r) {
      S.unlockBeforeLocked = !S.lockedSent;
      if (S.unlockBeforeLocked) return wl_resource_post_error(r, EXT_SESSION_LOCK_V1_ERROR_INVALID_UNLOCK, "before locked");
      S.unlocked = true;
      wl_resource_destroy(r);
    }};
const struct ext_session_lock_manager_v1_interface kLockManager = {
    Destroy, [](wl_client* c, wl_resource*, uint32_t id) {
      S.lockAsked = true;
      S.lock = Make(c, &ext_session_lock_v1_interface, 1, id, &kLock, nullptr, [](wl_resource*) { S.lock = nullptr; });
    }};

// --- surfaces and frames ------------------------------------------------------
// A buffer the client destroys is forgotten wherever a surface holds it.
void Watch(wl_resource* buffer) {
  const wl_notify_func_t gone = [](wl_listener* l, void* data) {
    for (Surface* s : S.surfaces) {
      for (wl_resource** b : {&s->pending, &s->current, &s->replaced}) *b = *b == data ? nullptr : *b;
    }
    delete l;
  };
  if (buffer != nullptr && wl_resource_get_destroy_listener(buffer, gone) == nullptr) {
    wl_resource_add_destroy_listener(buffer, new wl_listener{{}, gone});
  }
}
void Release(wl_resource** buffer) {
  if (*buffer != nullptr) wl_buffer_send_release(*buffer);
  *buffer = nullptr;
}
void Vblank() {
  std::vector<wl_resource*> due;
  std::copy_if(S.frames.begin(), S.frames.end(), std::back_inserter(due), [](wl_resource* f) { return !Of(f); });
  for (wl_resource* f : due) wl_callback_send_done(f, Ms()), wl_resource_destroy(f);
  for (Surface* s : S.surfaces) Release(&s->replaced);
}
void Commit(wl_client*, wl_resource* r) {
  Surface* s = Of(r);
  if (s->attached && s->current != s->pending) Release(&s->replaced), s->replaced = s->current;
  if (s->attached) s->current = s->pending, s->attached = false;
  for (wl_resource* f : S.frames) if (Of(f) == s) wl_resource_set_user_data(f, nullptr);  // due at the next vblank
  if (s->lockSurface == nullptr) return;
  wl_shm_buffer* b = s->current != nullptr ? wl_shm_buffer_get(s->current) : nullptr;
  const uint32_t w = b != nullptr ? wl_shm_buffer_get_width(b) : 0, h = b != nullptr ? wl_shm_buffer_get_height(b) : 0;
  if (s->acked.serial == 0 || b == nullptr || w != s->acked.width || h != s->acked.height) {
    return wl_resource_post_error(s->lockSurface,
                                  s->acked.serial == 0 ? EXT_SESSION_LOCK_SURFACE_V1_ERROR_COMMIT_BEFORE_FIRST_ACK
                                  : b == nullptr       ? EXT_SESSION_LOCK_SURFACE_V1_ERROR_NULL_BUFFER
                                                       : EXT_SESSION_LOCK_SURFACE_V1_ERROR_DIMENSIONS_MISMATCH,
                                  "a %ux%u buffer committed after acking %ux%u", w, h, s->acked.width, s->acked.height);
  }
  ++s->commits;
  S.newSizeCommits += w == 800 ? 1 : 0;
  if (!S.c->lateLocked) SendLocked();  // a locked frame is shown on the one output
}
const struct wl_surface_interface kSurface = {
    Destroy,
    [](wl_client*, wl_resource* r, wl_resource* buffer, int32_t, int32_t) {
      Watch(buffer);
      Of(r)->pending = buffer, Of(r)->attached = true;
    },
    Ignore<int32_t, int32_t, int32_t, int32_t>,
    [](wl_client* c, wl_resource* r, uint32_t id) {
      S.frames.push_back(Make(c, &wl_callback_interface, 1, id, nullptr, Of(r), [](wl_resource* f) { Erase(S.frames, f); }));
    },
    Ignore<wl_resource*>, Ignore<wl_resource*>, Commit, Ignore<int32_t>, Ignore<int32_t>,
    Ignore<int32_t, int32_t, int32_t, int32_t>, Ignore<int32_t, int32_t>};
const struct wl_compositor_interface kCompositor = {
    [](wl_client* c, wl_resource* r, uint32_t id) {
      S.surfaces.push_back(new Surface{});
      S.surfaces.back()->res = Make(c, &wl_surface_interface, wl_resource_get_version(r), id, &kSurface,
                                    S.surfaces.back(), [](wl_resource* gone) {
        Surface* dead = Of(gone);
        if (dead->lockSurface != nullptr) wl_resource_set_user_data(dead->lockSurface, nullptr);
        if (S.lockSurface == dead) S.lockSurface = nullptr;
        for (wl_resource* f : std::vector<wl_resource*>(S.frames)) if (Of(f) == dead) wl_resource_destroy(f);
        Erase(S.surfaces, dead);
        delete dead;
      });
    },
    Refuse<uint32_t>};

// --- the seat, its keyboard, the output -----------------------------------------
// Types `ch` (or only presses it), with Shift around it where needed.
void Type(char ch, bool hold) {
  const auto found = S.us.keys.find(xkb_utf32_to_keysym(static_cast<unsigned char>(ch)));
  if (found == S.us.keys.end()) return;
  const auto [code, shifted] = found->second;
  for (wl_resource* k : S.entered) {
    if (shifted) wl_keyboard_send_key(k, Serial(), Ms(), KEY_LEFTSHIFT, 1);
    if (shifted) wl_keyboard_send_modifiers(k, Serial(), S.us.shift, 0, 0, 0);
    wl_keyboard_send_key(k, Serial(), Ms(), code, 1);
    if (!hold) wl_keyboard_send_key(k, Serial(), Ms(), code, 0);
    if (shifted) wl_keyboard_send_key(k, Serial(), Ms(), KEY_LEFTSHIFT, 0);
    if (shifted) wl_keyboard_send_modifiers(k, Serial(), 0, 0, 0, 0);
  }
}
void Capabilities(uint32_t caps) {
  S.capabilities = caps;
  if (caps == 0) S.keyboards.clear(), S.entered.clear();  // gone: nothing more reaches them
  for (wl_resource* seat : S.seats) wl_seat_send_capabilities(seat, caps);
}
const struct wl_keyboard_interface kKeyboard = {Destroy};
const struct wl_seat_interface kSeat = {
    Refuse<uint32_t>,
    // The keymap and repeat rate at once, and never again: the keyboard is there before kivo asks for it.
    [](wl_client* c, wl_resource* r, uint32_t id) {
      wl_resource* k = Make(c, &wl_keyboard_interface, wl_resource_get_version(r), id, &kKeyboard, nullptr,
                            [](wl_resource* gone) { Erase(S.keyboards, gone), Erase(S.entered, gone); });
      if (S.capabilities == 0) return;  // asked for after it went: it gets nothing
      S.keyboards.push_back(k);
      wl_keyboard_send_keymap(k, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, S.us.fd, S.us.size);
      if (wl_resource_get_version(k) >= WL_KEYBOARD_REPEAT_INFO_SINCE_VERSION) wl_keyboard_send_repeat_info(k, 25, 600);
    },
    Refuse<uint32_t>, Destroy};
const struct wl_output_interface kOutput = {Destroy};
const struct xdg_wm_base_interface kWmBase = {Destroy, Refuse<uint32_t>, Refuse<uint32_t, wl_resource*>,
                                              Ignore<uint32_t>};

template <const wl_interface* I, auto* Impl>
void Bind(wl_client* c, void*, uint32_t version, uint32_t id) {
  wl_resource* r = Make(c, I, static_cast<int>(version), id, Impl);
  if (I == &wl_seat_interface) {
    S.seats.push_back(r);
    wl_resource_set_destructor(r, [](wl_resource* gone) { Erase(S.seats, gone); });
    wl_seat_send_capabilities(r, S.capabilities);
  } else if (I == &wl_output_interface) {
    wl_output_send_geometry(r, 0, 0, 160, 120, WL_OUTPUT_SUBPIXEL_UNKNOWN, "KIVO", "scripted", WL_OUTPUT_TRANSFORM_NORMAL);
    wl_output_send_mode(r, WL_OUTPUT_MODE_CURRENT | WL_OUTPUT_MODE_PREFERRED, 640, 480, 60000);
    if (version >= WL_OUTPUT_SCALE_SINCE_VERSION) wl_output_send_scale(r, 1);
    if (version >= WL_OUTPUT_DONE_SINCE_VERSION) wl_output_send_done(r);
  } else if (I == &xdg_wm_base_interface) {
    xdg_wm_base_send_ping(r, Serial());
  }
}

// --- the script -----------------------------------------------------------------
void Run(const Step& step) {
  switch (step.what) {
    case Do::kType: for (const char* c = step.text; *c != '\0'; ++c) Type(*c, false); break;
    case Do::kHold: Type(step.text[0], true); break;
    case Do::kPlug: Capabilities(WL_SEAT_CAPABILITY_KEYBOARD); break;
    case Do::kUnplug: Capabilities(0); break;
    case Do::kHoldFrames: S.holdFrames = true; break;
    case Do::kLocked: SendLocked(); break;
    case Do::kResize:
      if (S.lockSurface != nullptr) Configure(S.lockSurface, 800, 600), Vblank(), S.holdFrames = false;
      break;
  }
}
int Frame(void*) {
  const auto now = Clock::now();
  const bool shown = S.lockSurface != nullptr && S.lockSurface->commits >= 3;
  // The keyboard's focus goes to the lock surface once it shows.
  for (wl_resource* k : S.keyboards) {
    if (!shown || std::find(S.entered.begin(), S.entered.end(), k) != S.entered.end()) continue;
    wl_array none{};
    wl_keyboard_send_enter(k, Serial(), S.lockSurface->res, &none);
    wl_keyboard_send_modifiers(k, Serial(), 0, 0, 0, 0);
    S.entered.push_back(k);
  }
  if (!S.holdFrames) Vblank();
  if (shown && S.step == 0 && !S.c->keyboardFirst && S.capabilities == 0) {
    Capabilities(WL_SEAT_CAPABILITY_KEYBOARD);
    S.stepAt = now + std::chrono::milliseconds(300);
  } else if (shown && S.step < S.c->steps.size() && now >= S.stepAt) {
    Run(S.c->steps[S.step]);
    S.stepAt = now + std::chrono::milliseconds(S.c->steps[S.step++].ms);
  }
  wl_event_source_timer_update(S.timer, 16);
  return 0;
}

// --- observing, and the checks ---------------------------------------------------
// Every protocol error, this compositor's or libwayland's own (a request above the version bound).
void Log(void*, wl_protocol_logger_type type, const wl_protocol_logger_message* m) {
  if (type != WL_PROTOCOL_LOGGER_EVENT || std::strcmp(m->message->name, "error") != 0 || !S.error.empty()) return;
  S.error = "protocol error " + std::to_string(m->arguments[1].u) + " (" + m->arguments[2].s + ")";
}
int passed = 0, failed = 0;
void Check(bool ok, const char* what) {
  ++(ok ? passed : failed);
  if (ok) return static_cast<void>(std::printf("ok: %s: %s\n", S.c->name, what));
  const std::string kivo = S.timedOut ? "killed after 20 s"
                           : WIFEXITED(S.status) ? "exit " + std::to_string(WEXITSTATUS(S.status))
                                                 : "killed by signal " + std::to_string(WTERMSIG(S.status));
  std::printf("FAIL: %s: %s [saw: %slock asked, locked %ssent, %sunlock_and_destroy%s, %skivo %s] -- fault: %s\n",
              S.c->name, what, S.lockAsked ? "" : "no ", S.lockedSent ? "" : "never ", S.unlocked ? "" : "no ",
              S.unlockBeforeLocked ? " before locked" : "", S.error.empty() ? "" : (S.error + ", ").c_str(),
              kivo.c_str(), S.c->fault);
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) S.c = argc == 3 && std::strcmp(argv[2], c.name) == 0 ? &c : S.c;
  if (S.c == nullptr) return std::fprintf(stderr, "usage: kivo-scripted-compositor KIVO CASE (see kCases)\n"), 2;
  S.display = wl_display_create();
  const char* socket = wl_display_add_socket_auto(S.display);
  if (socket == nullptr || !MakeUsKeymap(S.us) || wl_display_init_shm(S.display) != 0) {
    std::printf("FAIL: %s: the compositor cannot start (socket, keymap or shared memory)\n0 passed, 1 failed\n", S.c->name);
    return 1;
  }
  S.capabilities = S.c->keyboardFirst ? WL_SEAT_CAPABILITY_KEYBOARD : 0;
  wl_global_create(S.display, &wl_compositor_interface, S.c->compositorVersion, nullptr,
                   Bind<&wl_compositor_interface, &kCompositor>);
  wl_global_create(S.display, &wl_seat_interface, S.c->seatVersion, nullptr, Bind<&wl_seat_interface, &kSeat>);
  wl_global_create(S.display, &wl_output_interface, S.c->outputVersion, nullptr, Bind<&wl_output_interface, &kOutput>);
  wl_global_create(S.display, &ext_session_lock_manager_v1_interface, 1, nullptr,
                   Bind<&ext_session_lock_manager_v1_interface, &kLockManager>);
  if (S.c->wmBase) wl_global_create(S.display, &xdg_wm_base_interface, 2, nullptr, Bind<&xdg_wm_base_interface, &kWmBase>);
  wl_display_add_protocol_logger(S.display, Log, nullptr);
  wl_event_loop* loop = wl_display_get_event_loop(S.display);
  S.start = S.stepAt = Clock::now();
  if ((S.kivo = fork()) == 0) {
    setpgid(0, 0);  // so that the timeout ends its PAM child too
    setenv("WAYLAND_DISPLAY", socket, 1);
    execl(argv[1], "kivo", "-lock", "--count", "2000", static_cast<char*>(nullptr));
    _exit(127);
  }
  S.timer = wl_event_loop_add_timer(loop, Frame, nullptr);
  wl_event_source_timer_update(S.timer, 16);
  // Until kivo has ended and all it sent is read, or 20 s.
  wl_list* clients = wl_display_get_client_list(S.display);
  int status = 0;
  while (S.kivo > 0 && (S.status < 0 || !wl_list_empty(clients)) && Clock::now() - S.start < std::chrono::seconds(20)) {
    wl_display_flush_clients(S.display);
    wl_event_loop_dispatch(loop, 100);
    if (S.status < 0 && waitpid(S.kivo, &status, WNOHANG) == S.kivo) S.status = status;
  }
  if (S.status < 0 && S.kivo > 0) S.timedOut = true, kill(-S.kivo, SIGKILL), waitpid(S.kivo, &S.status, 0);
  Check(S.error.empty(), "no protocol error");
  Check(S.lockedSent && S.unlocked && !S.timedOut && WIFEXITED(S.status) && WEXITSTATUS(S.status) == 0,
        "the right password unlocks: locked, then unlock_and_destroy, and kivo ends with 0");
  if (S.c->steps[0].what == Do::kHoldFrames) Check(S.newSizeCommits > 0, "a later commit has the new size, 800x600");
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
