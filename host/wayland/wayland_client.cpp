#include "host/wayland/wayland_client.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kivo {
namespace {

WaylandClient* Self(void* data) { return static_cast<WaylandClient*>(data); }

const xdg_wm_base_listener kWmBaseListener = {
    [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

}  // namespace

WaylandClient::~WaylandClient() {
  if (display_ == nullptr) return;
  for (auto& o : outputs_) ReleaseOutput(*o);
  ReleaseSeat();
  if (xdgOutputManager_ != nullptr) zxdg_output_manager_v1_destroy(xdgOutputManager_);
  if (fractionalScale_ != nullptr) wp_fractional_scale_manager_v1_destroy(fractionalScale_);
  if (viewporter_ != nullptr) wp_viewporter_destroy(viewporter_);
  if (subcompositor_ != nullptr) wl_subcompositor_destroy(subcompositor_);
  if (lockManager_ != nullptr) ext_session_lock_manager_v1_destroy(lockManager_);
  if (wmBase_ != nullptr) xdg_wm_base_destroy(wmBase_);
  if (layerShell_ != nullptr) zwlr_layer_shell_v1_destroy(layerShell_);
  if (shm_ != nullptr) wl_shm_destroy(shm_);
  if (compositor_ != nullptr) wl_compositor_destroy(compositor_);
  if (registry_ != nullptr) wl_registry_destroy(registry_);
  wl_display_disconnect(display_);
}

bool WaylandClient::Connect(std::string* error) {
  display_ = wl_display_connect(nullptr);
  if (display_ == nullptr) {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    *error = std::string("cannot connect to the Wayland compositor '") + (name != nullptr ? name : "wayland-0") +
             "' (" + std::strerror(errno) + ")";
    return false;
  }
  static const wl_registry_listener listener = {Global, GlobalRemove};
  registry_ = wl_display_get_registry(display_);
  wl_registry_add_listener(registry_, &listener, this);
  // Twice: the globals first, then what the outputs and the seat say.
  if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
    *error = Failure();
    return false;
  }
  if (compositor_ == nullptr || shm_ == nullptr) {
    *error = compositor_ == nullptr ? "the Wayland compositor offers no wl_compositor"
                                    : "the Wayland compositor offers no wl_shm (shared-memory buffers)";
    return false;
  }
  connected_ = true;
  return true;
}

void WaylandClient::Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                           std::uint32_t version) {
  WaylandClient* c = Self(data);
  auto bind = [&](const wl_interface* wanted, std::uint32_t most) {
    return wl_registry_bind(registry, name, wanted, std::min(version, most));
  };
  if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
    c->compositor_ = static_cast<wl_compositor*>(bind(&wl_compositor_interface, 4));
  } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    c->shm_ = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    c->AddOutput(name, version);
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && c->wlSeat_ == nullptr) {
    c->seatName_ = name;
    static const wl_seat_listener seatListener = {
        [](void* d, wl_seat*, std::uint32_t capabilities) { Self(d)->SeatCapabilities(capabilities); },
        [](void*, wl_seat*, const char*) {},
    };
    c->wlSeat_ = static_cast<wl_seat*>(bind(&wl_seat_interface, 5));
    wl_seat_add_listener(c->wlSeat_, &seatListener, c);
  } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
    c->layerShell_ = static_cast<zwlr_layer_shell_v1*>(bind(&zwlr_layer_shell_v1_interface, 3));
  } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
    c->wmBase_ = static_cast<xdg_wm_base*>(bind(&xdg_wm_base_interface, 2));
    xdg_wm_base_add_listener(c->wmBase_, &kWmBaseListener, c);
  } else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0) {
    c->subcompositor_ = static_cast<wl_subcompositor*>(bind(&wl_subcompositor_interface, 1));
  } else if (std::strcmp(interface, wp_viewporter_interface.name) == 0) {
    c->viewporter_ = static_cast<wp_viewporter*>(bind(&wp_viewporter_interface, 1));
  } else if (std::strcmp(interface, wp_fractional_scale_manager_v1_interface.name) == 0) {
    c->fractionalScale_ =
        static_cast<wp_fractional_scale_manager_v1*>(bind(&wp_fractional_scale_manager_v1_interface, 1));
  } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
    c->xdgOutputVersion_ = std::min(version, 3u);
    c->xdgOutputManager_ = static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
    for (auto& o : c->outputs_) c->WatchOutput(*o);
  } else if (std::strcmp(interface, ext_session_lock_manager_v1_interface.name) == 0) {
    c->lockManager_ = static_cast<ext_session_lock_manager_v1*>(bind(&ext_session_lock_manager_v1_interface, 1));
  }
}

void WaylandClient::GlobalRemove(void* data, wl_registry*, std::uint32_t name) {
  WaylandClient* c = Self(data);
  if (name == c->seatName_ && c->wlSeat_ != nullptr) {
    c->ReleaseSeat();
    return;
  }
  auto gone = std::find_if(c->outputs_.begin(), c->outputs_.end(),
                           [name](const std::unique_ptr<WaylandOutput>& o) { return o->name == name; });
  if (gone == c->outputs_.end()) return;
  std::unique_ptr<WaylandOutput> output = std::move(*gone);
  c->outputs_.erase(gone);
  if (c->outputsChanged) c->outputsChanged();  // the saver lets go of its surface first
  c->ReleaseOutput(*output);
}

// Released rather than destroyed where the version allows: the compositor
// then forgets it too.
void WaylandClient::ReleaseOutput(WaylandOutput& output) {
  if (output.xdgOutput != nullptr) zxdg_output_v1_destroy(output.xdgOutput);
  output.xdgOutput = nullptr;
  if (output.version >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
    wl_output_release(output.output);
  } else {
    wl_output_destroy(output.output);
  }
  output.output = nullptr;
}

void WaylandClient::ReleaseSeat() {
  if (pointer_ != nullptr) wl_pointer_release(pointer_);
  if (keyboard_ != nullptr) wl_keyboard_release(keyboard_);
  pointer_ = nullptr;
  keyboard_ = nullptr;
  if (wlSeat_ == nullptr) return;
  if (wl_seat_get_version(wlSeat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
    wl_seat_release(wlSeat_);
  } else {
    wl_seat_destroy(wlSeat_);
  }
  wlSeat_ = nullptr;
  seatName_ = 0;
}

// A change to an output is complete: told by wl_output.done, and by
// xdg_output.done where an older xdg-output sends its own.
void WaylandClient::OutputDone(WaylandOutput& output) {
  output.ready = true;
  if (connected_ && outputsChanged) outputsChanged();
}

void WaylandClient::AddOutput(std::uint32_t name, std::uint32_t version) {
  static const wl_output_listener listener = {
      // geometry: the position, where no xdg-output tells the logical one
      [](void* d, wl_output* o, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t, const char*,
         const char*, std::int32_t) {
        WaylandOutput* out = Self(d)->OutputOf(o);
        if (out != nullptr && out->xdgOutput == nullptr) {
          out->x = x;
          out->y = y;
        }
      },
      [](void* d, wl_output* o, std::uint32_t flags, std::int32_t width, std::int32_t height, std::int32_t) {
        WaylandOutput* out = Self(d)->OutputOf(o);
        if (out != nullptr && (flags & WL_OUTPUT_MODE_CURRENT) != 0) {
          out->modeWidth = width;
          out->modeHeight = height;
        }
      },
      // done: a change is complete
      [](void* d, wl_output* o) {
        if (WaylandOutput* out = Self(d)->OutputOf(o)) Self(d)->OutputDone(*out);
      },
      [](void* d, wl_output* o, std::int32_t factor) {
        if (WaylandOutput* out = Self(d)->OutputOf(o)) out->scale = factor > 0 ? factor : 1;
      },
      [](void*, wl_output*, const char*) {},  // name
      [](void*, wl_output*, const char*) {},  // description
  };
  auto output = std::make_unique<WaylandOutput>();
  output->name = name;
  output->version = std::min(version, 3u);
  output->output = static_cast<wl_output*>(wl_registry_bind(registry_, name, &wl_output_interface, output->version));
  wl_output_add_listener(output->output, &listener, this);
  // Before version 2 no done event comes: the first description is all.
  if (version < 2) output->ready = true;
  WatchOutput(*output);
  outputs_.push_back(std::move(output));
}

void WaylandClient::WatchOutput(WaylandOutput& output) {
  if (xdgOutputManager_ == nullptr || output.xdgOutput != nullptr) return;
  static const zxdg_output_v1_listener listener = {
      [](void* d, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
        auto* out = static_cast<WaylandOutput*>(d);
        out->x = x;
        out->y = y;
      },
      [](void* d, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
        auto* out = static_cast<WaylandOutput*>(d);
        out->logicalWidth = width;
        out->logicalHeight = height;
      },
      // done: before version 3 xdg-output completes its own changes; from
      // version 3 on wl_output.done does, and this is not sent
      [](void* d, zxdg_output_v1*) {
        auto* out = static_cast<WaylandOutput*>(d);
        if (out->owner != nullptr) out->owner->OutputDone(*out);
      },
      [](void*, zxdg_output_v1*, const char*) {},                 // name
      [](void*, zxdg_output_v1*, const char*) {},                 // description
  };
  output.owner = this;
  output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputManager_, output.output);
  zxdg_output_v1_add_listener(output.xdgOutput, &listener, &output);
}

WaylandOutput* WaylandClient::OutputOf(wl_output* output) const {
  for (const auto& o : outputs_) {
    if (o->output == output) return o.get();
  }
  return nullptr;
}

int WaylandClient::LogicalWidth(const WaylandOutput& o) {
  return o.logicalWidth > 0 ? o.logicalWidth : o.modeWidth / (o.scale > 0 ? o.scale : 1);
}

int WaylandClient::LogicalHeight(const WaylandOutput& o) {
  return o.logicalHeight > 0 ? o.logicalHeight : o.modeHeight / (o.scale > 0 ? o.scale : 1);
}

const WaylandOutput* WaylandClient::OutputByName(std::uint32_t name) const {
  for (const auto& o : outputs_) {
    if (name != 0 && o->name == name) return o.get();
  }
  return nullptr;
}

void WaylandClient::SeatCapabilities(std::uint32_t capabilities) {
  // Filled by name: newer libwayland versions add members for events of
  // later versions, which are never sent at the version bound here.
  static const wl_pointer_listener pointerListener = [] {
    wl_pointer_listener l{};
    l.enter = [](void* d, wl_pointer*, std::uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
      if (Self(d)->seat.pointerEnter) Self(d)->seat.pointerEnter(surface, serial, wl_fixed_to_double(x), wl_fixed_to_double(y));
    };
    l.leave = [](void*, wl_pointer*, std::uint32_t, wl_surface*) {};
    l.motion = [](void* d, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
      if (Self(d)->seat.pointerMotion) Self(d)->seat.pointerMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
    };
    l.button = [](void* d, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
      if (Self(d)->seat.button) Self(d)->seat.button(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    };
    l.axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {};  // the wheel ends nothing
    l.frame = [](void*, wl_pointer*) {};
    l.axis_source = [](void*, wl_pointer*, std::uint32_t) {};
    l.axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {};
    l.axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {};
    return l;
  }();
  static const wl_keyboard_listener keyboardListener = {
      [](void* d, wl_keyboard*, std::uint32_t, int fd, std::uint32_t size) {
        if (Self(d)->seat.keymap) {
          Self(d)->seat.keymap(fd, size);
        } else {
          close(fd);
        }
      },
      [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},  // enter: keys held then are no presses
      [](void* d, wl_keyboard*, std::uint32_t, wl_surface*) {  // leave
        if (Self(d)->seat.keyboardLeft) Self(d)->seat.keyboardLeft();
      },
      [](void* d, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
        if (Self(d)->seat.key) Self(d)->seat.key(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
      },
      [](void* d, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
         std::uint32_t group) {
        if (Self(d)->seat.modifiers) Self(d)->seat.modifiers(depressed, latched, locked, group);
      },
      [](void* d, wl_keyboard*, std::int32_t rate, std::int32_t delay) {
        if (Self(d)->seat.repeat) Self(d)->seat.repeat(rate, delay);
      },
  };
  const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (pointer && pointer_ == nullptr) {
    pointer_ = wl_seat_get_pointer(wlSeat_);
    wl_pointer_add_listener(pointer_, &pointerListener, this);
  } else if (!pointer && pointer_ != nullptr) {
    wl_pointer_release(pointer_);
    pointer_ = nullptr;
  }
  if (keyboard && keyboard_ == nullptr) {
    keyboard_ = wl_seat_get_keyboard(wlSeat_);
    wl_keyboard_add_listener(keyboard_, &keyboardListener, this);
  } else if (!keyboard && keyboard_ != nullptr) {
    wl_keyboard_release(keyboard_);
    keyboard_ = nullptr;
  }
}

std::string WaylandClient::Failure() const {
  const int code = wl_display_get_error(display_);
  if (code == EPROTO) {
    const wl_interface* interface = nullptr;
    std::uint32_t id = 0;
    const std::uint32_t error = wl_display_get_protocol_error(display_, &interface, &id);
    return std::string("the Wayland compositor refused a request (protocol error ") + std::to_string(error) + " on " +
           (interface != nullptr ? interface->name : "an unknown object") + ")";
  }
  return std::string("lost the connection to the Wayland compositor (") + std::strerror(code != 0 ? code : EPIPE) + ")";
}

bool WaylandClient::ConnectionLost() const { return wl_display_get_error(display_) != EPROTO; }

}  // namespace kivo
