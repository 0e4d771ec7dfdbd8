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
  if (keyboardState_.keymapFd >= 0) close(keyboardState_.keymapFd);
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

bool WaylandClient::PrepareRead() {
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) return false;
  }
  wl_display_flush(display_);
  return true;
}

bool WaylandClient::FinishRead(bool readable) {
  if (!readable) {
    wl_display_cancel_read(display_);
    return true;
  }
  return wl_display_read_events(display_) >= 0;
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
