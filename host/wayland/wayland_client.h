// The connection to a Wayland compositor: the globals KIVO uses, the
// outputs as they come and go, and the seat's pointer and keyboard turned
// into plain calls.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ext-session-lock-v1-client-protocol.h"
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace kivo {

class WaylandClient;

struct WaylandOutput {
  WaylandClient* owner = nullptr;
  std::uint32_t name = 0;  // the global's name: what identifies the output
  std::uint32_t version = 0;
  wl_output* output = nullptr;
  zxdg_output_v1* xdgOutput = nullptr;
  int x = 0;  // position in the layout, in logical pixels
  int y = 0;
  int scale = 1;       // the integer scale the compositor asks of clients
  int modeWidth = 0;   // the current mode, in physical pixels
  int modeHeight = 0;
  int logicalWidth = 0;  // its size in the layout, where xdg-output tells it
  int logicalHeight = 0;
  bool ready = false;  // described completely at least once
};

// What the seat reports, already as the saver wants it.
struct SeatEvents {
  std::function<void(wl_surface* surface, std::uint32_t serial, double x, double y)> pointerEnter;
  std::function<void(double x, double y)> pointerMotion;  // on the surface entered last
  std::function<void(std::uint32_t button, bool pressed)> button;
  std::function<void(std::uint32_t key, bool pressed)> key;
  std::function<void(int fd, std::uint32_t size)> keymap;  // the fd is the receiver's to close
  std::function<void(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked, std::uint32_t group)>
      modifiers;
  // How held keys repeat: characters per second (0: never) after a delay.
  std::function<void(int rate, int delayMs)> repeat;
  // The keyboard's focus left kivo's surfaces: no key is held any more.
  std::function<void()> keyboardLeft;
};

class WaylandClient {
 public:
  WaylandClient() = default;
  ~WaylandClient();
  WaylandClient(const WaylandClient&) = delete;
  WaylandClient& operator=(const WaylandClient&) = delete;

  // Connects to the compositor of WAYLAND_DISPLAY and learns its globals
  // and outputs. False, with one line in *error, when there is no
  // compositor, it refuses, or it lacks what every client needs.
  bool Connect(std::string* error);

  wl_display* Display() const { return display_; }
  wl_compositor* Compositor() const { return compositor_; }
  wl_shm* Shm() const { return shm_; }
  zwlr_layer_shell_v1* LayerShell() const { return layerShell_; }
  xdg_wm_base* WmBase() const { return wmBase_; }
  wp_viewporter* Viewporter() const { return viewporter_; }
  wl_subcompositor* Subcompositor() const { return subcompositor_; }
  wp_fractional_scale_manager_v1* FractionalScale() const { return fractionalScale_; }
  ext_session_lock_manager_v1* LockManager() const { return lockManager_; }
  wl_pointer* Pointer() const { return pointer_; }

  const std::vector<std::unique_ptr<WaylandOutput>>& Outputs() const { return outputs_; }
  WaylandOutput* OutputOf(wl_output* output) const;
  // The output of that global name; null when there is none (or name is 0).
  const WaylandOutput* OutputByName(std::uint32_t name) const;
  // An output's size in the layout: xdg-output's logical size, or else its
  // mode at its scale.
  static int LogicalWidth(const WaylandOutput& o);
  static int LogicalHeight(const WaylandOutput& o);

  // Called when an output was added, changed or removed (after the change).
  std::function<void()> outputsChanged;
  // Who hears the seat from now on. What the compositor has said of the
  // keyboard so far (its keymap, repeat rate and modifiers, which it sends
  // once, in answer to get_keyboard, often before anyone listens) is handed
  // over at once.
  void Listen(SeatEvents events);

  // Before the loop waits: what is queued is dispatched and the requests
  // flushed, and the connection is ready to be read; after the wait, it is
  // read if `readable`. False once the connection failed.
  bool PrepareRead();
  bool FinishRead(bool readable);

  // After dispatching failed: why, in one line, and whether the compositor
  // simply went away (rather than refusing a request).
  std::string Failure() const;
  bool ConnectionLost() const;

 private:
  static void Global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t version);
  static void GlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
  void AddOutput(std::uint32_t name, std::uint32_t version);
  void WatchOutput(WaylandOutput& output);
  void ReleaseOutput(WaylandOutput& output);
  void OutputDone(WaylandOutput& output);
  void ReleaseSeat();
  void ReleasePointer();
  void ReleaseKeyboard();
  void SeatCapabilities(std::uint32_t capabilities);
  void Keymap(int fd, std::uint32_t size);

  // The keyboard's state as last told, for whoever listens later.
  struct KeyboardState {
    int keymapFd = -1;  // kept open; each listener gets a copy of it
    std::uint32_t keymapSize = 0;
    bool repeatTold = false;
    int rate = 0;
    int delayMs = 0;
    bool modifiersTold = false;
    std::uint32_t modifiers[4] = {};  // depressed, latched, locked, group
  };
  SeatEvents seat_;
  KeyboardState keyboardState_;

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_compositor* compositor_ = nullptr;
  wl_shm* shm_ = nullptr;
  wl_seat* wlSeat_ = nullptr;
  std::uint32_t seatName_ = 0;
  wl_pointer* pointer_ = nullptr;
  wl_keyboard* keyboard_ = nullptr;
  zwlr_layer_shell_v1* layerShell_ = nullptr;
  xdg_wm_base* wmBase_ = nullptr;
  wp_viewporter* viewporter_ = nullptr;
  wl_subcompositor* subcompositor_ = nullptr;
  wp_fractional_scale_manager_v1* fractionalScale_ = nullptr;
  zxdg_output_manager_v1* xdgOutputManager_ = nullptr;
  std::uint32_t xdgOutputVersion_ = 0;
  ext_session_lock_manager_v1* lockManager_ = nullptr;
  std::vector<std::unique_ptr<WaylandOutput>> outputs_;
  bool connected_ = false;
};

}  // namespace kivo
