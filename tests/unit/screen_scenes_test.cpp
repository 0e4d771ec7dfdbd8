#include "host/shared/screen_scenes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/unit/pixels.h"

namespace kivo {
namespace {

std::vector<std::uint8_t> Bytes(const FrameView& frame) {
  if (frame.bottomRow == nullptr) return {};  // none, or not in the 24-bit block
  return std::vector<std::uint8_t>(frame.bottomRow, frame.bottomRow + static_cast<std::size_t>(frame.stride) * frame.height);
}

// What the scenes ask of each output, in one log for all; whether outputs
// lend rows (`alternate`: two blocks in turn, as a window system's free buffer).
struct Log {
  std::vector<std::string> calls;
  std::vector<std::vector<std::uint8_t>> shown;
  bool lend = false;
  bool alternate = false;
  int shownInPlace = 0;  // frames drawn in the block the output lent for them, and of those in the second
  int fromSecond = 0;
};

class FakeOutput : public ScreenOutput {
 public:
  FakeOutput(Log* log, std::string name) : log_(log), name_(std::move(name)) { log_->calls.push_back("make " + name_); }
  ~FakeOutput() override { log_->calls.push_back(name_ + " gone"); }
  bool Place(const ScreenRect& r) override {
    log_->calls.push_back(name_ + " at " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
                          std::to_string(r.width) + "x" + std::to_string(r.height));
    for (auto& block : blocks_) block.assign(static_cast<std::size_t>(4 * r.width * r.height), 0xA5);
    width_ = r.width;
    return r.width != 13;  // a size this output cannot show
  }
  FrameTarget Target() override {
    if (!log_->lend) return FrameTarget{};
    lent_ = log_->alternate ? 1 - lent_ : 0;
    return FrameTarget{FrameLayout::kTopDownXrgb32, blocks_[lent_].data(), 4 * width_};
  }
  void Show(const FrameView& frame) override {
    log_->calls.push_back(name_ + " shows");
    log_->shown.push_back(Bytes(frame));
    log_->shownInPlace += log_->lend && frame.topRow == blocks_[lent_].data() ? 1 : 0;
    log_->fromSecond += log_->lend && frame.topRow == blocks_[1].data() ? 1 : 0;
  }
  void Repaint() override { log_->calls.push_back(name_ + " repaints"); }

 private:
  Log* log_;
  std::string name_;
  std::vector<std::uint8_t> blocks_[2];
  int width_ = 0;
  int lent_ = 0;
};

// A driver stepped by hand the way a screen's scene must be.
std::vector<std::uint8_t> Expected(std::uint32_t seed, int w, int h, int ticks, int resizedW = 0, int resizedH = 0,
                                   int ticksAfter = 0) {
  SaverDriver driver;
  driver.Seed(seed);
  driver.Start(w, h, 3000);
  for (int i = 0; i < ticks; ++i) driver.Tick();
  if (resizedW > 0) driver.Resize(resizedW, resizedH);
  for (int i = 0; i < ticksAfter; ++i) driver.Tick();
  return Bytes(driver.Frame());
}

class ScreenScenesTest : public ::testing::Test {
 protected:
  Log log;  // outlives the outputs, which write to it as they go
  ScreenScenes scenes{true, [this](const Screen& s, std::size_t slot) {
                        return std::make_unique<FakeOutput>(&log, "screen " + std::to_string(s.id) + " slot " +
                                                                      std::to_string(slot));
                      }};
};

TEST_F(ScreenScenesTest, AScreenThatStaysKeepsItsFlakesNewOnesStartGoneOnesGo) {
  scenes.Start(3, 3000);
  ASSERT_TRUE(scenes.LayOut({{1, {0, 0, 100, 80}}, {2, {100, 0, 60, 40}}, {3, {160, 0, 50, 50}}}));
  for (int i = 0; i < 4; ++i) scenes.TickAll();
  log.calls.clear();
  log.shown.clear();
  // Screen 1 moves, screen 3 grows taller, screen 2 goes, screen 4 comes first.
  ASSERT_TRUE(scenes.LayOut({{4, {0, 0, 30, 30}}, {1, {30, 0, 100, 80}}, {3, {130, 0, 50, 70}}}));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"screen 2 slot 1 gone", "make screen 4 slot 3",
                                                 "screen 4 slot 3 at 0,0 30x30", "screen 1 slot 0 at 30,0 100x80",
                                                 "screen 3 slot 2 at 130,0 50x70"}));
  ASSERT_EQ(scenes.Count(), 3u);
  EXPECT_EQ(scenes.ScreenAt(0).id, 4u);
  FrameTimes times;
  scenes.TickAll(&times);
  EXPECT_EQ(times.ticks, 0) << "ticks are the loop's to count, once a beat however many screens";
  EXPECT_GT(times.stepMs, 0.0);
  ASSERT_EQ(log.shown.size(), 3u);
  EXPECT_EQ(log.shown[0], Expected(ScreenSeed(3, 3), 30, 30, 1));
  EXPECT_EQ(log.shown[1], Expected(3, 100, 80, 5)) << "moved, not restarted";
  EXPECT_EQ(log.shown[2], Expected(ScreenSeed(3, 2), 50, 50, 4, 50, 70, 1)) << "re-laid out with its flakes";
  log.calls.clear();
  ASSERT_TRUE(scenes.LayOut({{4, {0, 0, 30, 30}}, {1, {30, 0, 100, 80}}, {3, {130, 0, 50, 70}}}));
  EXPECT_TRUE(log.calls.empty()) << "nothing to do for screens that stay as they are";
  scenes.Stop();
  EXPECT_EQ(scenes.Count(), 0u);
  EXPECT_EQ(log.calls.size(), 3u) << "every output goes";
}

TEST_F(ScreenScenesTest, AScreenWhoseOutputCannotShowItsSizeRunsUnseen) {
  EXPECT_FALSE(scenes.LayOut({{1, {0, 0, 10, 10}}})) << "nothing is laid out before Start";
  scenes.Start(3, 3000);
  EXPECT_FALSE(scenes.LayOut({{1, {0, 0, 13, 10}}, {2, {13, 0, 20, 10}}}));
  log.calls.clear();
  scenes.TickAll();
  scenes.RepaintAll();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"screen 2 slot 1 shows", "screen 2 slot 1 repaints"}))
      << "only the screen that was placed shows frames and repaints them";
  EXPECT_EQ(scenes.Driver(0).Ticks(), 1) << "the other's snow moves on";
  EXPECT_TRUE(scenes.LayOut({{1, {0, 0, 14, 10}}, {2, {14, 0, 20, 10}}})) << "placed again when it changes";
}

// An output that lends its rows gets its frames drawn in them while it is
// placed, in whichever block it lends at each beat; one that cannot be
// placed gets nothing drawn in its memory.
TEST_F(ScreenScenesTest, ScreensDrawWhereTheirOutputsAsk) {
  log.lend = true;
  scenes.Start(8, 2000);
  ASSERT_TRUE(scenes.LayOut({Screen{1, ScreenRect{0, 0, 64, 48}}}));
  scenes.TickAll();
  EXPECT_EQ(scenes.Driver(0).Frame().layout, FrameLayout::kTopDownXrgb32);
  ASSERT_TRUE(scenes.LayOut({Screen{1, ScreenRect{0, 0, 80, 40}}}));  // new rows for the new size
  scenes.TickAll();
  log.alternate = true;
  for (int tick = 0; tick < 4; ++tick) scenes.TickAll();
  EXPECT_EQ(log.shownInPlace, 6) << "every frame drawn where the output lent";
  EXPECT_EQ(log.fromSecond, 2) << "the output is asked where to draw at every beat";
  EXPECT_FALSE(scenes.LayOut({Screen{1, ScreenRect{0, 0, 13, 40}}}));
  EXPECT_EQ(scenes.Driver(0).Frame().layout, FrameLayout::kBottomUpBgr24) << "not placed: nothing lent";
  scenes.TickAll();
}

TEST(ScreenScenes, OneSetOfInputRulesForEveryScreen) {
  ScreenScenes saver(true, nullptr);
  saver.SetStartPointer(500, 400);
  EXPECT_EQ(saver.OnKey(), InputAction::kRequestClose);
  EXPECT_EQ(saver.OnButton(PointerButton::kLeft), InputAction::kRequestClose);
  EXPECT_EQ(saver.OnButton(PointerButton::kRight), InputAction::kRequestClose);
  EXPECT_EQ(saver.OnButton(PointerButton::kOther), InputAction::kPassOn);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(saver.OnPointerMove(1400, 300), InputAction::kPassOn) << "move " << i;
  EXPECT_EQ(saver.OnPointerMove(1400, 300), InputAction::kRequestClose) << "a move onto another screen";
  saver.OnCloseRefused();
  EXPECT_EQ(saver.SavedX() * 1000 + saver.SavedY(), 500400);
  EXPECT_EQ(saver.OnPointerMove(504, 404), InputAction::kPassOn) << "six moves are ignored again";

  ScreenScenes preview(false, nullptr);
  EXPECT_EQ(preview.OnKey(), InputAction::kPassOn);
  EXPECT_EQ(preview.OnButton(PointerButton::kLeft), InputAction::kPassOn);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(preview.OnPointerMove(10 * i, 10 * i), InputAction::kPassOn);
}

TEST(SaverDriver, ItsTicksAreTheScenesFramesAndSurviveResizes) {
  SaverDriver driver;
  driver.Seed(77);
  driver.Start(321, 123, 4000);
  FrameView frame;
  for (int i = 0; i < 50; ++i) frame = driver.Tick();
  EXPECT_EQ(driver.Ticks(), 50);
  auto scene = pixels::Scene(77, 321, 123, 4000);
  for (int i = 0; i < 50; ++i) scene->RenderFrame();
  EXPECT_EQ(Bytes(frame), Bytes(scene->Frame()));
  EXPECT_EQ(Bytes(driver.Frame()), Bytes(frame)) << "the last frame stays available for repaints";
  driver.Resize(37, 90);
  frame = driver.Tick();
  EXPECT_EQ(frame.width * 1000 + frame.height, 37090);
  driver.Stop();
  EXPECT_TRUE(driver.Frame().Empty());
  driver.Start(37, 90, 100);
  EXPECT_EQ(driver.Ticks(), 0) << "a new start counts from 0";
  SaverDriver blind;
  blind.Start(0, 600, 100);
  EXPECT_TRUE(blind.Tick().Empty()) << "a frame buffer that cannot be made gives empty frames";
  EXPECT_EQ(blind.Ticks(), 1) << "and the snow goes on";
}

}  // namespace
}  // namespace kivo
