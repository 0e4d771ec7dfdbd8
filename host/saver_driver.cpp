#include "host/saver_driver.h"

#include <ctime>

namespace kivo {

SaverDriver::SaverDriver(bool endsOnInput) : scene_(std::make_unique<SnowScene>()), input_(!endsOnInput) {}

void SaverDriver::Seed(std::uint32_t seed) { scene_->Random().SeedRandom(seed); }

std::uint32_t SaverDriver::ClockSeed() { return static_cast<std::uint32_t>(std::time(nullptr)); }

std::uint32_t SaverDriver::SeedFromClock() {
  const std::uint32_t seed = ClockSeed();
  Seed(seed);
  return seed;
}

void SaverDriver::Start(int width, int height, std::int32_t flakeCount) {
  scene_->Start(width, height, flakeCount);
  ticks_ = 0;
}

void SaverDriver::Resize(int width, int height) { scene_->Resize(width, height); }

void SaverDriver::Stop() { scene_->Stop(); }

FrameView SaverDriver::Tick() {
  scene_->RenderFrame();
  ++ticks_;
  return scene_->Frame();
}

}  // namespace kivo
