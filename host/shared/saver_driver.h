// SaverDriver: the snow of one screen, whatever shows it.
//
// It owns the snow scene, its seeding, the tick period and start / resize /
// stop. Several screens, and the input that ends the saver, are
// ScreenScenes' (host/shared/screen_scenes.h); a host with no screen at all, like
// tools/kivo-render, drives one SaverDriver directly.
#pragma once

#include <cstdint>
#include <memory>

#include "flakes/frame_view.h"
#include "flakes/snow_scene.h"

namespace kivo {

class SaverDriver {
 public:
  // One tick of the animation; every host draws on this period.
  static constexpr int kTickMilliseconds = 30;

  SaverDriver() : scene_(std::make_unique<SnowScene>()) {}

  // The seed decides every flake; a saver seeds from the calendar time.
  void Seed(std::uint32_t seed) { scene_->Random().SeedRandom(seed); }
  static std::uint32_t ClockSeed();

  // Builds the sprites, spawns `flakeCount` flakes (clamped to the field)
  // and creates the width x height frame buffer. A frame buffer that cannot
  // be created leaves the saver running with empty frames.
  void Start(int width, int height, std::int32_t flakeCount);
  void Resize(int width, int height) { scene_->Resize(width, height); }  // keeps the flakes
  void Stop() { scene_->Stop(); }  // frees the frame buffer and the sprites

  // Where its frames are drawn (SnowScene::SetTarget): the bottom-up 24-bit
  // block by default, which Windows and kivo-render keep; a Linux host picks
  // the 32-bit layout, in a block of the scene's own or in memory it lends.
  // A resize takes lent memory back (it has the old size).
  void SetTarget(const FrameTarget& target) { scene_->SetTarget(target); }

  // Runs one frame step and returns the finished frame.
  FrameView Tick();
  FrameView Frame() const { return scene_->Frame(); }
  std::int64_t Ticks() const { return ticks_; }

 private:
  // 30000 flake records and eight images: kept off the stack.
  std::unique_ptr<SnowScene> scene_;
  std::int64_t ticks_ = 0;
};

}  // namespace kivo
