#include "host/shared/screen_scenes.h"

#include <algorithm>
#include <chrono>

namespace kivo {

ScreenScenes::ScreenScenes(bool endsOnInput, MakeOutput makeOutput)
    : makeOutput_(std::move(makeOutput)), input_(!endsOnInput) {}

void ScreenScenes::Start(std::uint32_t seed, std::int32_t flakeCount) {
  seed_ = seed;
  flakeCount_ = flakeCount;
  started_ = true;
}

bool ScreenScenes::LayOut(const std::vector<Screen>& screens) {
  if (!started_) return false;
  // Scenes of screens that are gone go first, with their outputs.
  scenes_.erase(std::remove_if(scenes_.begin(), scenes_.end(),
                               [&screens](const std::unique_ptr<Scene>& scene) {
                                 return std::none_of(screens.begin(), screens.end(), [&scene](const Screen& s) {
                                   return s.id == scene->screen.id;
                                 });
                               }),
                scenes_.end());
  std::vector<std::unique_ptr<Scene>> laidOut;
  bool allPlaced = true;
  // Frames are drawn as the output asks, into memory it lends only while it is placed.
  const auto retarget = [](Scene& scene) {
    scene.driver.SetTarget(scene.placed ? scene.output->Target() : FrameTarget{});
  };
  for (const Screen& screen : screens) {
    auto kept = std::find_if(scenes_.begin(), scenes_.end(), [&screen](const std::unique_ptr<Scene>& scene) {
      return scene != nullptr && scene->screen.id == screen.id;
    });
    std::unique_ptr<Scene> scene;
    if (kept != scenes_.end()) {
      scene = std::move(*kept);
      const ScreenRect& was = scene->screen.rect;
      const bool resized = was.width != screen.rect.width || was.height != screen.rect.height;
      if (resized) scene->driver.Resize(screen.rect.width, screen.rect.height);
      if (scene->output != nullptr && (resized || !(was == screen.rect) || !scene->placed)) {
        scene->placed = scene->output->Place(screen.rect);
        retarget(*scene);
      }
      scene->screen = screen;
    } else {
      scene = std::make_unique<Scene>();
      scene->screen = screen;
      const std::size_t slot = slots_++;
      scene->slot = slot;
      scene->driver.Seed(ScreenSeed(seed_, slot));
      scene->driver.Start(screen.rect.width, screen.rect.height, flakeCount_);
      scene->output = makeOutput_ ? makeOutput_(screen, slot) : nullptr;
      scene->placed = scene->output != nullptr && scene->output->Place(screen.rect);
      if (scene->output != nullptr) retarget(*scene);
    }
    allPlaced = allPlaced && (scene->output == nullptr || scene->placed);
    laidOut.push_back(std::move(scene));
  }
  scenes_ = std::move(laidOut);
  return allPlaced;
}

void ScreenScenes::Tick(std::size_t i, FrameTimes* times) {
  Scene& scene = *scenes_[i];
  // An output may lend a different block each beat (a free buffer).
  if (scene.output != nullptr && scene.placed) scene.driver.SetTarget(scene.output->Target());
  const auto start = std::chrono::steady_clock::now();
  const FrameView frame = scene.driver.Tick();
  if (times != nullptr) {
    times->stepMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  if (scene.output == nullptr || !scene.placed) return;
  scene.output->Show(frame);
  if (times != nullptr) {
    times->convertMs += scene.output->LastConvertMilliseconds();
    times->copyMs += scene.output->LastCopyMilliseconds();
  }
}

void ScreenScenes::TickAll(FrameTimes* times) {
  for (std::size_t i = 0; i < scenes_.size(); ++i) Tick(i, times);
}

void ScreenScenes::RepaintAll() {
  for (std::unique_ptr<Scene>& scene : scenes_) {
    if (scene->output != nullptr && scene->placed) scene->output->Repaint();
  }
}

void ScreenScenes::RenewOutput(std::uint64_t id) {
  for (std::unique_ptr<Scene>& scene : scenes_) {
    if (scene->screen.id != id) continue;
    // Nothing more is drawn into what the old output lent.
    scene->driver.SetTarget(FrameTarget{});
    scene->output.reset();
    scene->output = makeOutput_ ? makeOutput_(scene->screen, scene->slot) : nullptr;
    scene->placed = false;
  }
}

void ScreenScenes::Stop() {
  for (std::unique_ptr<Scene>& scene : scenes_) {
    scene->output.reset();
    scene->driver.Stop();
  }
  scenes_.clear();
}

}  // namespace kivo
