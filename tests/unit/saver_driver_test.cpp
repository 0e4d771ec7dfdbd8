#include "host/saver_driver.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kivo {
namespace {

std::vector<std::uint8_t> Bytes(const FrameView& frame) {
  return std::vector<std::uint8_t>(frame.bottomRow, frame.bottomRow + static_cast<std::size_t>(frame.stride) * frame.height);
}

// What a host would do by hand: seed, start, step. The driver must give the
// same pixels, so that moving a host onto it changes no frame.
std::vector<std::uint8_t> SceneByHand(std::uint32_t seed, int width, int height, int count, int ticks) {
  auto scene = std::make_unique<SnowScene>();
  scene->Random().SeedRandom(seed);
  scene->Start(width, height, count);
  for (int i = 0; i < ticks; ++i) scene->RenderFrame();
  return Bytes(scene->Frame());
}

TEST(SaverDriver, ItsTicksAreTheScenesFramesAndSurviveResizes) {
  SaverDriver driver(true);
  driver.Seed(77);
  driver.Start(321, 123, 4000);
  FrameView frame;
  for (int i = 0; i < 50; ++i) frame = driver.Tick();
  EXPECT_EQ(driver.Ticks(), 50);
  EXPECT_EQ(Bytes(frame), SceneByHand(77, 321, 123, 4000, 50));
  EXPECT_EQ(Bytes(driver.Frame()), Bytes(frame)) << "the last frame stays available for repaints";
  driver.Resize(37, 90);
  frame = driver.Tick();
  EXPECT_EQ(frame.width * 1000 + frame.height, 37090);
  EXPECT_EQ(frame.stride, 112);
  driver.Stop();
  EXPECT_TRUE(driver.Frame().Empty());

  SaverDriver replay(false);
  const std::uint32_t seed = replay.SeedFromClock();
  replay.Start(64, 48, 2000);
  for (int i = 0; i < 20; ++i) replay.Tick();
  EXPECT_EQ(Bytes(replay.Frame()), SceneByHand(seed, 64, 48, 2000, 20)) << "a clock seed can be replayed";

  SaverDriver blind(true);
  blind.Start(0, 600, 100);
  EXPECT_TRUE(blind.Tick().Empty()) << "a frame buffer that cannot be made gives empty frames";
  EXPECT_EQ(blind.Ticks(), 1) << "and the snow goes on";
}

TEST(SaverDriver, InputEndsOnlyAWindowThatTakesInput) {
  SaverDriver saver(true);
  saver.SetStartCursor(500, 400);
  EXPECT_EQ(saver.OnKeyOrButton(), InputAction::kRequestClose);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(saver.OnPointerMove(900, 900), InputAction::kPassOn) << "move " << i;
  EXPECT_EQ(saver.OnPointerMove(504, 404), InputAction::kRequestClose);
  saver.OnCloseRefused();
  EXPECT_EQ(saver.SavedX() * 1000 + saver.SavedY(), 500400);
  EXPECT_EQ(saver.OnPointerMove(504, 404), InputAction::kPassOn) << "six moves are ignored again";

  SaverDriver preview(false);
  EXPECT_EQ(preview.OnKeyOrButton(), InputAction::kPassOn);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(preview.OnPointerMove(10 * i, 10 * i), InputAction::kPassOn);
}

}  // namespace
}  // namespace kivo
