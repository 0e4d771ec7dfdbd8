// The seat's input for the saver (-fullscreen, -window): keys, buttons and
// pointer moves, in the coordinates of the whole layout, judged by the
// scenes' one set of input rules; the pointer hidden over full-screen snow.
#pragma once

#include <cstdint>
#include <functional>

#include "host/shared/screen_scenes.h"
#include "host/wayland/wayland_client.h"

namespace kivo {

class SaverInput {
 public:
  // Where a surface lies in the layout; false when it is not one of kivo's.
  using Placement = std::function<bool(wl_surface* surface, int* x, int* y)>;

  SaverInput(WaylandClient& client, ScreenScenes& scenes, Placement placement, bool hidePointer);
  // Some input asked for the saver to end.
  bool EndRequested() const { return ended_; }

 private:
  void Judge(InputAction action) { ended_ = ended_ || action == InputAction::kRequestClose; }

  WaylandClient& client_;
  ScreenScenes& scenes_;
  Placement placement_;
  bool hidePointer_;
  bool ended_ = false;
  bool pointerSeen_ = false;
  int originX_ = 0;  // where the surface under the pointer lies in the layout
  int originY_ = 0;
};

}  // namespace kivo
