// kivo-scripted-compositor: a Wayland compositor whose only client is
// `kivo -lock`, started by it. It orders events as the protocols allow but
// the real compositors here seldom do, refuses what they refuse, and checks
// what kivo asked of it and how it ended. One case a run:
//   kivo-scripted-compositor KIVO CASE
// It prints ok:/FAIL: lines (a failure names the fault its case guards) and
// "N passed, M failed"; the status is 1 on failure. tests/e2e/
// scripted_lock_test.sh runs it as a test user whose password is kPassword.
#include <linux/input-event-codes.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-server.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "ext-session-lock-v1-server-protocol.h"
#include "xdg-shell-server-protocol.h"

namespace {

#define kPassword "Snow-fall 42"
using Clock = std::chrono::steady_clock;

// A case's steps, in order; after each, `ms` pass before the next (kShown
// waits for `ms` frames of the lock surface instead). Typing goes one
// character a frame, and the pause after it counts from its last key.
enum class Do { kShown, kPlug, kUnplug, kType, kHold, kHoldFrames, kResize, kLocked };
struct Step {
  Do what;
  const char* text;
  int ms;
};
struct Case {
  const char* name;
  const char* fault;  // what its failure means
  std::uint32_t compositorVersion, seatVersion, outputVersion;
  bool wmBase, keyboardFirst, lateLocked;
  std::vector<Step> steps;
};
// Unless a case is about it, the keyboard comes after the lock surface shows,
// so that a case fails only for its own fault.
const Case kCases[] = {
    {"keymap", "the keymap sent once, at wl_seat.get_keyboard during kivo's first roundtrips, dropped: no key works",
     4, 5, 3, true, true, false, {{Do::kShown, nullptr, 3}, {Do::kType, kPassword "\r", 0}}},
    {"batch", "a configure and a frame callback in one batch: a buffer of the old size committed after acking the new "
     "configure (dimensions_mismatch)", 4, 5, 3, true, false, false,
     {{Do::kShown, nullptr, 3}, {Do::kPlug, nullptr, 300}, {Do::kHoldFrames, nullptr, 150},
      {Do::kResize, nullptr, 500}, {Do::kType, kPassword "\r", 0}}},
    {"late-locked", "unlock_and_destroy sent before the compositor said locked (invalid_unlock)", 4, 5, 3, true,
     false, true, {{Do::kShown, nullptr, 3}, {Do::kPlug, nullptr, 300}, {Do::kType, kPassword "\r", 3000},
                   {Do::kLocked, nullptr, 0}}},
    {"no-shell", "with no xdg_wm_base nor layer shell: the lock taken, then kivo gone without unlocking (a lock left "
     "with no locker)", 4, 5, 3, false, false, false,
     {{Do::kShown, nullptr, 3}, {Do::kPlug, nullptr, 300}, {Do::kType, kPassword "\r", 0}}},
    {"old-versions", "a request that wl_compositor, wl_seat or wl_output at version 2 lacks", 2, 2, 2, true, false,
     false, {{Do::kShown, nullptr, 3}, {Do::kPlug, nullptr, 300}, {Do::kUnplug, nullptr, 300},
             {Do::kPlug, nullptr, 300}, {Do::kType, kPassword "\r", 0}}},
    // One 'a', taken back by Backspace, and the password: it unlocks only
    // if the held 'a' stopped repeating when its keyboard went (1.5 s, past
    // the 600 ms repeat delay).
    {"held-key", "a key held when the keyboard went away kept repeating: marks typed with no keyboard", 4, 5, 3, true,
     false, false, {{Do::kShown, nullptr, 3}, {Do::kPlug, nullptr, 300}, {Do::kHold, "a", 100},
                    {Do::kUnplug, nullptr, 1500}, {Do::kPlug, nullptr, 300}, {Do::kType, "\b" kPassword "\r", 0}}},
};

// A client's buffer, forgotten when the client destroys it.
struct BufferRef {
  wl_resource* res = nullptr;
  wl_listener gone{};
  ~BufferRef() { Set(nullptr); }
  void Set(wl_resource* r) {
    if (res != nullptr) wl_list_remove(&gone.link);
    res = r;
    if (r == nullptr) return;
    gone.notify = [](wl_listener* l, void*) {
      auto* self = reinterpret_cast<BufferRef*>(reinterpret_cast<char*>(l) - offsetof(BufferRef, gone));
      wl_list_remove(&self->gone.link);
      self->res = nullptr;
    };
    wl_resource_add_destroy_listener(r, &gone);
  }
};

struct Surface {
  wl_resource* res = nullptr;
  BufferRef pending, current, replaced;  // replaced: released at the next frame
  bool attached = false;
  wl_resource* lockSurface = nullptr;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> configures;  // serial, width (height: 3/4 of it)
  std::uint32_t ackedWidth = 0;
  bool acked = false;
  int commits = 0;  // with a buffer of the acked size
};

struct State {
  const Case* c = nullptr;
  wl_display* display = nullptr;
  wl_client* client = nullptr;
  wl_listener clientGone{};
  wl_event_source* timer = nullptr;
  pid_t kivo = -1;
  int status = -1;  // kivo's wait status once it ended
  bool timedOut = false;
  Clock::time_point start, stepAt;
  std::size_t step = 0;
  int afterTyping = 0;
  std::vector<Surface*> surfaces;
  std::vector<std::pair<Surface*, wl_resource*>> frames;  // surface null once committed: due
  std::vector<wl_resource*> seats, keyboards, entered;
  std::uint32_t capabilities = 0;
  wl_resource* lock = nullptr;
  Surface* lockSurface = nullptr;
  bool lockAsked = false, lockedSent = false, unlocked = false, unlockBeforeLocked = false, holdFrames = false;
  int newSizeCommits = 0;
  std::string error, typing;
  int keymapFd = -1;
  std::uint32_t keymapSize = 0, shiftMask = 0;
  xkb_keymap* keymap = nullptr;
} S;

template <typename... A>
void Ignore(wl_client*, wl_resource*, A...) {}
void Destroy(wl_client*, wl_resource* r) { wl_resource_destroy(r); }
wl_resource* Make(wl_client* c, const wl_interface* i, int version, std::uint32_t id, const void* impl,
                  void* data = nullptr, wl_resource_destroy_func_t gone = nullptr) {
  wl_resource* r = wl_resource_create(c, i, version, id);
  wl_resource_set_implementation(r, impl, data, gone);
  return r;
}
template <typename T>
void Erase(std::vector<T>& v, const T& x) { v.erase(std::remove(v.begin(), v.end(), x), v.end()); }
Surface* Of(wl_resource* r) { return static_cast<Surface*>(wl_resource_get_user_data(r)); }
std::uint32_t Serial() { return wl_display_next_serial(S.display); }
std::uint32_t Ms() { return static_cast<std::uint32_t>((Clock::now() - S.start) / std::chrono::milliseconds(1)); }

// --- the lock ---------------------------------------------------------------
void SendLocked() {
  if (S.lock == nullptr || S.lockedSent) return;
  ext_session_lock_v1_send_locked(S.lock);
  S.lockedSent = true;
}
void Configure(Surface* s, std::uint32_t width) {
  const std::uint32_t serial = Serial();
  s->configures.emplace_back(serial, width);
  ext_session_lock_surface_v1_send_configure(s->lockSurface, serial, width, width * 3 / 4);
}
const struct ext_session_lock_surface_v1_interface kLockSurface = {
    Destroy, [](wl_client*, wl_resource* r, std::uint32_t serial) {
      Surface* s = Of(r);
      if (s == nullptr) return;
      auto it = std::find_if(s->configures.begin(), s->configures.end(), [&](auto& c) { return c.first == serial; });
      if (it == s->configures.end()) {
        return wl_resource_post_error(r, EXT_SESSION_LOCK_SURFACE_V1_ERROR_INVALID_SERIAL, "no configure %u", serial);
      }
      s->ackedWidth = it->second;
      s->acked = true;
      s->configures.erase(s->configures.begin(), it + 1);
    }};
const struct ext_session_lock_v1_interface kLock = {
    [](wl_client*, wl_resource* r) {
      if (!S.lockedSent || S.unlocked) return wl_resource_destroy(r);
      wl_resource_post_error(r, EXT_SESSION_LOCK_V1_ERROR_INVALID_DESTROY, "destroy after locked");
    },
    [](wl_client* c, wl_resource*, std::uint32_t id, wl_resource* surface, wl_resource*) {
      Surface* s = Of(surface);
      s->lockSurface = Make(c, &ext_session_lock_surface_v1_interface, 1, id, &kLockSurface, s, [](wl_resource* r) {
        if (Surface* gone = Of(r)) gone->lockSurface = nullptr;
      });
      S.lockSurface = s;
      Configure(s, 640);
    },
    [](wl_client*, wl_resource* r) {
      if (!S.lockedSent) {
        S.unlockBeforeLocked = true;
        return wl_resource_post_error(r, EXT_SESSION_LOCK_V1_ERROR_INVALID_UNLOCK, "unlock before locked");
      }
      S.unlocked = true;
      wl_resource_destroy(r);
    }};
const struct ext_session_lock_manager_v1_interface kLockManager = {
    Destroy, [](wl_client* c, wl_resource*, std::uint32_t id) {
      S.lockAsked = true;
      S.lock = Make(c, &ext_session_lock_v1_interface, 1, id, &kLock, nullptr, [](wl_resource*) { S.lock = nullptr; });
    }};

// --- surfaces and frames ------------------------------------------------------
void Vblank() {
  std::vector<wl_resource*> due;
  for (auto& f : S.frames) {
    if (f.first == nullptr) due.push_back(f.second);
  }
  for (wl_resource* callback : due) {
    wl_callback_send_done(callback, Ms());
    wl_resource_destroy(callback);
  }
  for (Surface* s : S.surfaces) {
    if (s->replaced.res != nullptr) wl_buffer_send_release(s->replaced.res);
    s->replaced.Set(nullptr);
  }
}
void Commit(wl_client*, wl_resource* r) {
  Surface* s = Of(r);
  if (s->attached && s->current.res != nullptr && s->current.res != s->pending.res) {
    if (s->replaced.res != nullptr) wl_buffer_send_release(s->replaced.res);
    s->replaced.Set(s->current.res);
  }
  if (s->attached) s->current.Set(s->pending.res);
  s->pending.Set(nullptr);
  s->attached = false;
  for (auto& f : S.frames) {
    if (f.first == s) f.first = nullptr;
  }
  if (s->lockSurface == nullptr) return;
  if (!s->acked) {
    return wl_resource_post_error(s->lockSurface, EXT_SESSION_LOCK_SURFACE_V1_ERROR_COMMIT_BEFORE_FIRST_ACK, "no ack");
  }
  wl_shm_buffer* b = s->current.res != nullptr ? wl_shm_buffer_get(s->current.res) : nullptr;
  if (b == nullptr) return wl_resource_post_error(s->lockSurface, EXT_SESSION_LOCK_SURFACE_V1_ERROR_NULL_BUFFER, "no buffer");
  const int w = wl_shm_buffer_get_width(b), h = wl_shm_buffer_get_height(b);
  if (w != static_cast<int>(s->ackedWidth) || h != static_cast<int>(s->ackedWidth * 3 / 4)) {
    return wl_resource_post_error(s->lockSurface, EXT_SESSION_LOCK_SURFACE_V1_ERROR_DIMENSIONS_MISMATCH,
                                  "a %dx%d buffer committed after acking %ux%u", w, h, s->ackedWidth, s->ackedWidth * 3 / 4);
  }
  ++s->commits;
  if (w == 800) ++S.newSizeCommits;
  if (!S.c->lateLocked) SendLocked();  // a locked frame is shown on the one output
}
const struct wl_surface_interface kSurface = {
    Destroy,
    [](wl_client*, wl_resource* r, wl_resource* buffer, std::int32_t, std::int32_t) {
      Of(r)->pending.Set(buffer);
      Of(r)->attached = true;
    },
    Ignore<std::int32_t, std::int32_t, std::int32_t, std::int32_t>,
    [](wl_client* c, wl_resource* r, std::uint32_t id) {
      S.frames.emplace_back(Of(r), Make(c, &wl_callback_interface, 1, id, nullptr, nullptr, [](wl_resource* cb) {
        S.frames.erase(std::remove_if(S.frames.begin(), S.frames.end(), [cb](auto& f) { return f.second == cb; }),
                       S.frames.end());
      }));
    },
    Ignore<wl_resource*>, Ignore<wl_resource*>, Commit, Ignore<std::int32_t>, Ignore<std::int32_t>,
    Ignore<std::int32_t, std::int32_t, std::int32_t, std::int32_t>, Ignore<std::int32_t, std::int32_t>};
const struct wl_region_interface kRegion = {Destroy, Ignore<std::int32_t, std::int32_t, std::int32_t, std::int32_t>,
                                            Ignore<std::int32_t, std::int32_t, std::int32_t, std::int32_t>};
const struct wl_compositor_interface kCompositor = {
    [](wl_client* c, wl_resource* r, std::uint32_t id) {
      auto* s = new Surface;
      s->res = Make(c, &wl_surface_interface, wl_resource_get_version(r), id, &kSurface, s, [](wl_resource* gone) {
        Surface* dead = Of(gone);
        if (dead->lockSurface != nullptr) wl_resource_set_user_data(dead->lockSurface, nullptr);
        Erase(S.surfaces, dead);
        if (S.lockSurface == dead) S.lockSurface = nullptr;
        // Its callbacks never come due.
        S.frames.erase(std::remove_if(S.frames.begin(), S.frames.end(), [dead](auto& f) { return f.first == dead; }),
                       S.frames.end());
        delete dead;
      });
      S.surfaces.push_back(s);
    },
    [](wl_client* c, wl_resource* r, std::uint32_t id) {
      Make(c, &wl_region_interface, wl_resource_get_version(r), id, &kRegion);
    }};

// --- the seat and its keyboard ------------------------------------------------
void Key(std::uint32_t key, bool down) {
  for (wl_resource* k : S.entered) {
    wl_keyboard_send_key(k, Serial(), Ms(), key, down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
  }
}
void Modifiers(std::uint32_t depressed) {
  for (wl_resource* k : S.entered) wl_keyboard_send_modifiers(k, Serial(), depressed, 0, 0, 0);
}
// The key (evdev code) that types `ch` on the keymap, unshifted or shifted.
std::pair<std::uint32_t, bool> KeyFor(char ch) {
  for (std::uint32_t code = 1; code < 248; ++code) {
    for (xkb_level_index_t level = 0; level < 2; ++level) {
      const xkb_keysym_t* syms = nullptr;
      const int n = xkb_keymap_key_get_syms_by_level(S.keymap, code + 8, 0, level, &syms);
      if (n == 1 && xkb_keysym_to_utf32(syms[0]) == static_cast<std::uint32_t>(ch)) return {code, level == 1};
    }
  }
  return {KEY_RESERVED, false};
}
void Type(char ch, bool hold) {
  const auto [code, shift] = KeyFor(ch);
  if (shift) Key(KEY_LEFTSHIFT, true), Modifiers(S.shiftMask);
  Key(code, true);
  if (!hold) Key(code, false);
  if (shift) Key(KEY_LEFTSHIFT, false), Modifiers(0);
}
void Capabilities(std::uint32_t caps) {
  S.capabilities = caps;
  if (caps == 0) S.keyboards.clear(), S.entered.clear();  // gone: nothing more reaches them
  for (wl_resource* seat : S.seats) wl_seat_send_capabilities(seat, caps);
}
const struct wl_keyboard_interface kKeyboard = {Destroy};
const struct wl_pointer_interface kPointer = {Ignore<std::uint32_t, wl_resource*, std::int32_t, std::int32_t>, Destroy};
const struct wl_touch_interface kTouch = {Destroy};
const struct wl_seat_interface kSeat = {
    [](wl_client* c, wl_resource* r, std::uint32_t id) {
      Make(c, &wl_pointer_interface, wl_resource_get_version(r), id, &kPointer);
    },
    // The keymap and repeat rate at once, and never again: the keyboard
    // existed before kivo asked for it.
    [](wl_client* c, wl_resource* r, std::uint32_t id) {
      wl_resource* k = Make(c, &wl_keyboard_interface, wl_resource_get_version(r), id, &kKeyboard, nullptr,
                            [](wl_resource* gone) { Erase(S.keyboards, gone), Erase(S.entered, gone); });
      if (S.capabilities == 0) return;  // a keyboard asked for after it went gets nothing
      S.keyboards.push_back(k);
      wl_keyboard_send_keymap(k, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, S.keymapFd, S.keymapSize);
      if (wl_resource_get_version(k) >= WL_KEYBOARD_REPEAT_INFO_SINCE_VERSION) wl_keyboard_send_repeat_info(k, 25, 600);
    },
    [](wl_client* c, wl_resource* r, std::uint32_t id) {
      Make(c, &wl_touch_interface, wl_resource_get_version(r), id, &kTouch);
    },
    Destroy};
const struct wl_output_interface kOutput = {Destroy};
const struct xdg_wm_base_interface kWmBase = {
    Destroy,
    [](wl_client* c, wl_resource* r, std::uint32_t id) {
      Make(c, &xdg_positioner_interface, wl_resource_get_version(r), id, nullptr);
    },
    [](wl_client* c, wl_resource* r, std::uint32_t id, wl_resource*) {
      Make(c, &xdg_surface_interface, wl_resource_get_version(r), id, nullptr);
    },
    Ignore<std::uint32_t>};

template <const wl_interface* I, auto* Impl>
void Bind(wl_client* c, void*, std::uint32_t version, std::uint32_t id) {
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
  if (step.what == Do::kPlug) Capabilities(WL_SEAT_CAPABILITY_KEYBOARD);
  if (step.what == Do::kUnplug) Capabilities(0);
  if (step.what == Do::kType) S.typing = step.text, S.afterTyping = step.ms;
  if (step.what == Do::kHold) Type(step.text[0], true);
  if (step.what == Do::kHoldFrames) S.holdFrames = true;
  if (step.what == Do::kLocked) SendLocked();
  if (step.what == Do::kResize && S.lockSurface != nullptr) {
    // One flush: the new size first, then the frame kivo waits for.
    Configure(S.lockSurface, 800);
    Vblank();
    S.holdFrames = false;
  }
}
int Frame(void*) {
  const auto now = Clock::now();
  // The keyboard's focus goes to the lock surface once it shows.
  for (wl_resource* k : S.keyboards) {
    if (S.lockSurface == nullptr || S.lockSurface->commits == 0 ||
        std::find(S.entered.begin(), S.entered.end(), k) != S.entered.end()) {
      continue;
    }
    wl_array keys;
    wl_array_init(&keys);
    wl_keyboard_send_enter(k, Serial(), S.lockSurface->res, &keys);
    wl_array_release(&keys);
    S.entered.push_back(k);
    wl_keyboard_send_modifiers(k, Serial(), 0, 0, 0, 0);
  }
  if (!S.holdFrames) Vblank();
  if (!S.typing.empty()) {
    if (!S.entered.empty()) Type(S.typing[0], false), S.typing.erase(0, 1);
    if (S.typing.empty()) S.stepAt = now + std::chrono::milliseconds(S.afterTyping);
  } else if (S.step < S.c->steps.size() && now >= S.stepAt) {
    const Step& step = S.c->steps[S.step];
    if (step.what != Do::kShown || (S.lockSurface != nullptr && S.lockSurface->commits >= step.ms)) {
      Run(step);
      ++S.step;
      S.stepAt = now + std::chrono::milliseconds(step.what == Do::kShown ? 0 : step.ms);
    }
  }
  if (!S.timedOut && S.status < 0 && now - S.start > std::chrono::seconds(20)) {
    S.timedOut = true;
    kill(-S.kivo, SIGKILL);
  }
  wl_event_source_timer_update(S.timer, 16);
  return 0;
}

// --- observing, and the checks ---------------------------------------------------
// Every protocol error, whether this compositor's or libwayland's own (a
// request above the version bound).
void Log(void*, wl_protocol_logger_type type, const wl_protocol_logger_message* m) {
  if (type != WL_PROTOCOL_LOGGER_EVENT || std::strcmp(m->message->name, "error") != 0 || !S.error.empty()) return;
  S.error = "protocol error " + std::to_string(m->arguments[1].u) + " (" + m->arguments[2].s + ")";
}
std::string Saw() {
  std::string saw = S.lockAsked ? "lock asked" : "no lock asked";
  saw += S.lockedSent ? ", locked sent" : ", locked never sent";
  saw += S.unlockBeforeLocked ? ", unlock_and_destroy before locked"
         : S.unlocked         ? ", unlock_and_destroy"
                              : ", no unlock_and_destroy";
  if (!S.error.empty()) saw += ", " + S.error;
  if (S.timedOut) return saw + ", kivo killed after 20 s";
  if (WIFSIGNALED(S.status)) return saw + ", kivo killed by signal " + std::to_string(WTERMSIG(S.status));
  return saw + ", kivo exit " + std::to_string(WEXITSTATUS(S.status));
}
int passed = 0, failed = 0;
void Check(bool ok, const std::string& what) {
  if (ok) {
    ++passed;
    std::printf("ok: %s: %s\n", S.c->name, what.c_str());
  } else {
    ++failed;
    std::printf("FAIL: %s: %s [saw: %s] -- fault: %s\n", S.c->name, what.c_str(), Saw().c_str(), S.c->fault);
  }
}

bool MakeKeymap() {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
  S.keymap = context != nullptr ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
  char* text = S.keymap != nullptr ? xkb_keymap_get_as_string(S.keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
  if (text == nullptr) return false;
  S.shiftMask = 1u << xkb_keymap_mod_get_index(S.keymap, XKB_MOD_NAME_SHIFT);
  S.keymapSize = static_cast<std::uint32_t>(std::strlen(text) + 1);
  S.keymapFd = memfd_create("kivo-test-keymap", MFD_CLOEXEC);
  const bool written = S.keymapFd >= 0 && write(S.keymapFd, text, S.keymapSize) == static_cast<ssize_t>(S.keymapSize);
  std::free(text);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  for (const Case& c : kCases) {
    if (argc == 3 && std::strcmp(argv[2], c.name) == 0) S.c = &c;
  }
  if (S.c == nullptr) {
    std::fprintf(stderr, "usage: kivo-scripted-compositor KIVO CASE (keymap batch late-locked no-shell old-versions held-key)\n");
    return 2;
  }
  S.display = wl_display_create();
  const char* socket = S.display != nullptr ? wl_display_add_socket_auto(S.display) : nullptr;
  if (socket == nullptr || !MakeKeymap() || wl_display_init_shm(S.display) != 0) {
    std::printf("FAIL: %s: cannot start the compositor (socket, keymap or shared memory)\n0 passed, 1 failed\n", S.c->name);
    return 1;
  }
  S.capabilities = S.c->keyboardFirst ? WL_SEAT_CAPABILITY_KEYBOARD : 0;
  wl_global_create(S.display, &wl_compositor_interface, static_cast<int>(S.c->compositorVersion), nullptr,
                   Bind<&wl_compositor_interface, &kCompositor>);
  wl_global_create(S.display, &wl_seat_interface, static_cast<int>(S.c->seatVersion), nullptr, Bind<&wl_seat_interface, &kSeat>);
  wl_global_create(S.display, &wl_output_interface, static_cast<int>(S.c->outputVersion), nullptr,
                   Bind<&wl_output_interface, &kOutput>);
  wl_global_create(S.display, &ext_session_lock_manager_v1_interface, 1, nullptr,
                   Bind<&ext_session_lock_manager_v1_interface, &kLockManager>);
  if (S.c->wmBase) wl_global_create(S.display, &xdg_wm_base_interface, 2, nullptr, Bind<&xdg_wm_base_interface, &kWmBase>);
  wl_display_add_protocol_logger(S.display, Log, nullptr);
  static wl_listener created{};
  created.notify = [](wl_listener*, void* data) {
    S.client = static_cast<wl_client*>(data);
    S.clientGone.notify = [](wl_listener*, void*) { S.client = nullptr; };
    wl_client_add_destroy_listener(S.client, &S.clientGone);
  };
  wl_display_add_client_created_listener(S.display, &created);
  wl_event_loop* loop = wl_display_get_event_loop(S.display);
  wl_event_loop_add_signal(loop, SIGCHLD, [](int, void*) {
    int status = 0;
    if (waitpid(S.kivo, &status, WNOHANG) == S.kivo) S.status = status;
    return 0;
  }, nullptr);
  S.start = S.stepAt = Clock::now();
  S.kivo = fork();
  if (S.kivo == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);  // the loop blocked SIGCHLD for itself
    setpgid(0, 0);                              // so that the timeout ends its PAM child too
    setenv("WAYLAND_DISPLAY", socket, 1);
    execl(argv[1], "kivo", "-lock", "--count", "2000", static_cast<char*>(nullptr));
    _exit(127);
  }
  S.timer = wl_event_loop_add_timer(loop, Frame, nullptr);
  wl_event_source_timer_update(S.timer, 16);
  // Until kivo has ended and the compositor has read all it sent.
  while (S.kivo > 0 && (S.status < 0 || S.client != nullptr) && Clock::now() - S.start < std::chrono::seconds(25)) {
    wl_display_flush_clients(S.display);
    wl_event_loop_dispatch(loop, 100);
  }
  if (S.status < 0 && S.kivo > 0) kill(-S.kivo, SIGKILL), waitpid(S.kivo, &S.status, 0), S.timedOut = true;
  Check(S.error.empty(), "no protocol error");
  Check(S.lockedSent && S.unlocked && !S.unlockBeforeLocked && !S.timedOut && WIFEXITED(S.status) &&
            WEXITSTATUS(S.status) == 0,
        "the right password unlocks: locked, then unlock_and_destroy, and kivo ends with 0");
  if (std::strcmp(S.c->name, "batch") == 0) Check(S.newSizeCommits > 0, "a later commit has the new size, 800x600");
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
