#include "host/wayland/saver_input.h"

#include <linux/input-event-codes.h>

namespace kivo {

SaverInput::SaverInput(WaylandClient& client, ScreenScenes& scenes, Placement placement, bool hidePointer)
    : client_(client), scenes_(scenes), placement_(std::move(placement)), hidePointer_(hidePointer) {
  SeatEvents events;
  events.pointerEnter = [this](wl_surface* surface, std::uint32_t serial, double x, double y) {
    if (!placement_(surface, &originX_, &originY_)) return;
    if (hidePointer_ && client_.Pointer() != nullptr) wl_pointer_set_cursor(client_.Pointer(), serial, nullptr, 0, 0);
    // Where the pointer first shows itself is where moves are measured
    // from; coming onto another surface later is a move like any other.
    const int layoutX = originX_ + static_cast<int>(x);
    const int layoutY = originY_ + static_cast<int>(y);
    if (pointerSeen_) {
      Judge(scenes_.OnPointerMove(layoutX, layoutY));
    } else {
      scenes_.SetStartPointer(layoutX, layoutY);
      pointerSeen_ = true;
    }
  };
  events.pointerMotion = [this](double x, double y) {
    Judge(scenes_.OnPointerMove(originX_ + static_cast<int>(x), originY_ + static_cast<int>(y)));
  };
  events.button = [this](std::uint32_t button, bool pressed) {
    if (pressed) Judge(scenes_.OnButton(ClassifyButton(button, BTN_LEFT, BTN_RIGHT)));
  };
  events.key = [this](std::uint32_t, bool pressed) {
    if (pressed) Judge(scenes_.OnKey());
  };
  client_.Listen(std::move(events));
}

}  // namespace kivo
