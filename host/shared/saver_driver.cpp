#include "host/shared/saver_driver.h"

#include <ctime>

namespace kivo {

std::uint32_t SaverDriver::ClockSeed() { return static_cast<std::uint32_t>(std::time(nullptr)); }

void SaverDriver::Start(int width, int height, std::int32_t flakeCount) {
  scene_->Start(width, height, flakeCount);
  ticks_ = 0;
}

FrameView SaverDriver::Tick() {
  scene_->RenderFrame();
  ++ticks_;
  return scene_->Frame();
}

}  // namespace kivo
