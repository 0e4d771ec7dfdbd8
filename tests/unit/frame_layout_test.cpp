// The two frame layouts: a scene drawing top-down 32-bit XRGB rows, its own
// or lent, shows the colours of the bottom-up 24-bit block pixel for pixel,
// with the same damage, and hosts get frames drawn the way their outputs ask.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "flakes/flake_sprite.h"
#include "flakes/frame_painter.h"
#include "flakes/snow_scene.h"
#include "host/shared/screen_scenes.h"
#include "tests/unit/pixels.h"

namespace kivo {
namespace {

constexpr FrameLayout kXrgb = FrameLayout::kTopDownXrgb32;
constexpr std::uint8_t kPadding = 0xA5;  // what lent rows hold past their pixels, and hold at first

// Every pixel of `b`, drawn in `layout`, against `bgr`'s; a 32-bit pixel's fourth byte is 0.
::testing::AssertionResult SameColours(const FrameView& bgr, const FrameView& b,
                                       FrameLayout layout = kXrgb) {
  if (bgr.layout != FrameLayout::kBottomUpBgr24 || b.layout != layout || bgr.width != b.width ||
      bgr.height != b.height || bgr.Empty() || b.Empty()) {
    return ::testing::AssertionFailure() << "layouts or sizes";
  }
  for (int y = 0; y < bgr.height; ++y)
    for (int x = 0; x < bgr.width; ++x) {
      const std::uint8_t* p = bgr.Pixel(x, y);
      const std::uint8_t* q = b.Pixel(x, y);
      if (std::memcmp(p, q, 3) != 0 || (b.BytesPerPixel() == 4 && q[3] != 0)) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << "): " << int{p[0]} << "," << int{p[1]}
                                             << "," << int{p[2]} << " against " << int{q[0]} << "," << int{q[1]} << ","
                                             << int{q[2]};
      }
    }
  return ::testing::AssertionSuccess();
}

bool SameRuns(const std::vector<FrameRun>* a, const std::vector<FrameRun>* b) {
  auto same = [](const FrameRun& p, const FrameRun& q) { return p.row == q.row && p.x == q.x && p.pixels == q.pixels; };
  return a == nullptr || b == nullptr ? a == b : std::equal(a->begin(), a->end(), b->begin(), b->end(), same);
}

::testing::AssertionResult SameDamage(const FrameDamage& a, const FrameDamage& b) {
  if (a.whole != b.whole) return ::testing::AssertionFailure() << "whole " << a.whole << " against " << b.whole;
  if (a.whole || (SameRuns(a.cleared, b.cleared) && SameRuns(a.drawn, b.drawn))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "runs differ";
}

// Rows lent by a host: padded, and full of something other than black.
struct LentRows {
  LentRows(int w, int h) : stride(4 * w + 12), bytes(static_cast<std::size_t>(stride) * h, kPadding) {}
  FrameTarget Target() { return FrameTarget{kXrgb, bytes.data(), stride}; }
  bool PaddingKept(int w) const {
    for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(stride)) {
      for (int i = 4 * w; i < stride; ++i) {
        if (bytes[at + static_cast<std::size_t>(i)] != kPadding) return false;
      }
    }
    return true;
  }
  int stride;
  std::vector<std::uint8_t> bytes;
};

struct LayoutRun {
  std::uint32_t seed;
  int width, height, count, ticks;
};

TEST(FrameLayouts, ScenesInEveryLayoutDrawTheSameColoursWithTheSameDamage) {
  for (const LayoutRun& c : {LayoutRun{5, 333, 201, 30000, 90}, LayoutRun{77, 61, 47, 8000, 40}, LayoutRun{9, 1, 3, 2000, 10}}) {
    LentRows lent(c.width, c.height);
    std::unique_ptr<SnowScene> scenes[3] = {pixels::Scene(c.seed, c.width, c.height, c.count),
                                            pixels::Scene(c.seed, c.width, c.height, c.count, {kXrgb}),
                                            pixels::Scene(c.seed, c.width, c.height, c.count, lent.Target())};
    for (int tick = 1; tick <= c.ticks; ++tick) {
      for (auto& scene : scenes) scene->RenderFrame();
      const FrameView bgr = scenes[0]->Frame();
      for (int i = 1; i < 3; ++i) {
        const FrameView xrgb = scenes[i]->Frame();
        ASSERT_TRUE(SameColours(bgr, xrgb)) << "scene " << i << ", " << c.width << "x" << c.height << " tick " << tick;
        ASSERT_TRUE(SameDamage(bgr.damage, xrgb.damage)) << "scene " << i << " tick " << tick;
      }
      ASSERT_EQ(scenes[2]->Frame().topRow, lent.bytes.data()) << "drawn in the rows lent";
      ASSERT_TRUE(lent.PaddingKept(c.width)) << "tick " << tick;
    }
  }
}

// Switching mid-run keeps the flakes and draws the next frame whole; a resize
// gives lent rows back.
TEST(FrameLayouts, ATargetChangedMidRunKeepsTheSnowAndAResizeGivesLentRowsBack) {
  auto bgr = pixels::Scene(31, 120, 90, 20000);
  auto other = pixels::Scene(31, 120, 90, 20000);
  LentRows lent(120, 90);
  const FrameTarget targets[] = {FrameTarget{kXrgb}, lent.Target(), FrameTarget{}};
  for (int tick = 0; tick < 60; ++tick) {
    if (tick % 20 == 10) other->SetTarget(targets[tick / 20]);
    bgr->RenderFrame();
    other->RenderFrame();
    ASSERT_EQ(other->Frame().damage.whole, tick % 20 == 10 || tick == 0) << "tick " << tick;
    const FrameLayout layout = tick < 10 ? FrameLayout::kBottomUpBgr24 : targets[(tick - 10) / 20].layout;
    ASSERT_TRUE(SameColours(bgr->Frame(), other->Frame(), layout)) << "tick " << tick;
  }
  other->SetTarget(lent.Target());
  other->Resize(100, 80);
  EXPECT_EQ(other->Target().layout, kXrgb);
  EXPECT_EQ(other->Target().pixels, nullptr) << "lent rows of the old size are not drawn into";
  other->RenderFrame();
  EXPECT_NE(other->Frame().topRow, lent.bytes.data());
  EXPECT_EQ(other->Frame().width, 100);
}

// A window system's buffers: the scene draws into whichever is free, in no
// fixed order, and each must show exactly the frame of its tick. Blocks
// written by someone else meanwhile (a new generation) and more blocks than
// the scene remembers are drawn whole; the others only where they differ.
TEST(FrameLayouts, FramesTakingTurnsAmongLentBlocksAreEachExactlyTheirTick) {
  auto reference = pixels::Scene(47, 150, 110, 20000);
  auto scene = pixels::Scene(47, 150, 110, 20000);
  std::vector<LentRows> blocks(SnowScene::kLentBlocks + 1, LentRows(150, 110));
  std::vector<std::uint32_t> generation(blocks.size(), 0);
  // -1: the scene's own block; 9: block 0 after something else wrote it.
  const int order[] = {0, 1, 0, 2, 1, 0, -1, 0, 2, 2, 1, 9, 0, 1, 3, 4, 0, 1, 2, 0, 1, -1, 1, 0, 9, 1, 0, 1};
  int partial = 0;
  std::vector<int> recent;  // blocks by their last frame, the latest first
  for (int tick = 0; tick < 84; ++tick) {
    int pick = order[tick % 28];
    if (pick == 9) {
      recent.erase(std::remove(recent.begin(), recent.end(), 0), recent.end());  // forgotten by its generation
      for (std::size_t row = 0; row < blocks[0].bytes.size(); row += static_cast<std::size_t>(blocks[0].stride)) {
        std::fill_n(blocks[0].bytes.begin() + static_cast<std::ptrdiff_t>(row), 4 * 150, std::uint8_t{0x5A});
      }
      ++generation[0];
      pick = 0;
    }
    FrameTarget target{kXrgb};
    if (pick >= 0) {
      const auto at = static_cast<std::size_t>(pick);
      target = blocks[at].Target();
      target.generation = generation[at];
    }
    scene->SetTarget(target);
    reference->RenderFrame();
    scene->RenderFrame();
    const FrameView frame = scene->Frame();
    ASSERT_TRUE(SameColours(reference->Frame(), frame)) << "block " << pick << " at tick " << tick;
    if (pick >= 0) {
      const auto at = static_cast<std::size_t>(pick);
      ASSERT_EQ(frame.topRow, blocks[at].bytes.data());
      ASSERT_TRUE(blocks[at].PaddingKept(150));
      const auto seen = std::find(recent.begin(), recent.end(), pick);
      const bool remembered = seen != recent.end() && seen - recent.begin() < static_cast<long>(SnowScene::kLentBlocks);
      ASSERT_EQ(frame.damage.whole, !remembered) << "block " << pick << " at tick " << tick;
      if (seen != recent.end()) recent.erase(seen);
      recent.insert(recent.begin(), pick);
      partial += frame.damage.whole ? 0 : 1;
    }
  }
  EXPECT_GT(partial, 50) << "a block the scene remembers is cleared only where it drew";
  // A new size forgets every block: one lent again at the same place, with
  // whatever it holds, is drawn whole.
  scene->Resize(140, 110);
  reference->Resize(140, 110);
  std::fill(blocks[1].bytes.begin(), blocks[1].bytes.end(), std::uint8_t{0x5A});
  scene->SetTarget(blocks[1].Target());
  reference->RenderFrame();
  scene->RenderFrame();
  EXPECT_TRUE(SameColours(reference->Frame(), scene->Frame())) << "a block lent again after a new size";
}

// The painter's general shapes (large discs, sprites it cannot take the
// fast way) in 32-bit rows: the 24-bit picture, the same damage.
TEST(FrameLayouts, PainterGeneralShapesInThirtyTwoBitRows) {
  std::mt19937 rng(404);
  RasterImage sprite;
  BuildFlakeSprite(sprite, 255, 230, 200);
  for (int round = 0; round < 6; ++round) {
    std::uniform_int_distribution<int> size(1, 151);
    const int w = size(rng), h = size(rng);
    RasterImage frame;
    ASSERT_EQ(frame.Create(w, h, 24), 1);
    LentRows lent(w, h);
    FramePainter bgr, xrgb;
    bgr.Reset(&frame);
    xrgb.Reset(lent.bytes.data(), w, h, lent.stride, false);
    std::uniform_int_distribution<int> cx(-120, w + 120), cy(-120, h + 120), disc(-1, 9), radius(-1, 110);
    for (int tick = 0; tick < 5; ++tick) {
      bgr.Clear();
      xrgb.Clear();
      for (int i = 0; i < 200; ++i) {
        const int x = cx(rng), y = cy(rng);
        // Ticks 3 and 4 have only the shapes the painter draws itself.
        const int r = i % 3 == 0 ? radius(rng) : disc(rng);
        for (FramePainter* p : {&bgr, &xrgb}) {
          if (i % 3 == 0) {
            p->AddSprite(x, y, tick >= 3 ? 1 + (r + 1) % 100 : r, sprite);
          } else {
            p->AddDisc(x, y, tick >= 3 ? r % 3 : r, 128);
          }
        }
      }
      bgr.Flush();
      xrgb.Flush();
      const FrameView a{FrameLayout::kBottomUpBgr24, frame.RowAddress(h - 1), frame.RowAddress(0), w, h,
                        frame.Stride(), {}};
      const FrameView b{kXrgb, nullptr, lent.bytes.data(), w, h, lent.stride, {}};
      ASSERT_TRUE(SameColours(a, b)) << "round " << round << " tick " << tick;
      ASSERT_TRUE(SameDamage(bgr.Damage(), xrgb.Damage())) << "round " << round << " tick " << tick;
      EXPECT_EQ(xrgb.Damage().whole, tick < 4) << "after a frame of general shapes the clear is whole";
      ASSERT_TRUE(lent.PaddingKept(w));
    }
  }
}

// An output that lends its rows gets its frames drawn in them while it is
// placed, in whichever block it lends at each beat (with `alternate`, one
// of two in turn, as a window system's free buffer); one that cannot be
// placed gets nothing drawn in its memory.
class LendingOutput : public ScreenOutput {
 public:
  explicit LendingOutput(bool* refuse) : refuse_(refuse) {}
  bool Place(const ScreenRect& r) override {
    if (*refuse_) return false;
    rows_ = std::make_unique<LentRows>(r.width, r.height);
    other_ = std::make_unique<LentRows>(r.width, r.height);
    return true;
  }
  FrameTarget Target() override {
    lent_ = alternate && ++lendings_ % 2 == 0 ? other_.get() : rows_.get();
    return lent_->Target();
  }
  void Show(const FrameView& frame) override {
    shownInPlace = frame.topRow == lent_->bytes.data();
    blocksShown += frame.topRow == other_->bytes.data() ? 1 : 0;
  }
  bool shownInPlace = false;
  bool alternate = false;
  int blocksShown = 0;  // frames shown from the second block

 private:
  bool* refuse_;
  std::unique_ptr<LentRows> rows_;
  std::unique_ptr<LentRows> other_;
  LentRows* lent_ = nullptr;
  int lendings_ = 0;
};

TEST(FrameLayouts, ScreensDrawWhereTheirOutputsAsk) {
  bool refuse = false;
  ScreenScenes scenes(true, [&refuse](const Screen&, std::size_t) { return std::make_unique<LendingOutput>(&refuse); });
  scenes.Start(8, 2000);
  ASSERT_TRUE(scenes.LayOut({Screen{1, ScreenRect{0, 0, 64, 48}}}));
  auto* output = static_cast<LendingOutput*>(scenes.Output(0));
  scenes.TickAll();
  EXPECT_TRUE(output->shownInPlace);
  EXPECT_EQ(scenes.Driver(0).Frame().layout, kXrgb);
  ASSERT_TRUE(scenes.LayOut({Screen{1, ScreenRect{0, 0, 80, 40}}}));  // new rows for the new size
  scenes.TickAll();
  EXPECT_TRUE(output->shownInPlace);
  output->alternate = true;
  for (int tick = 0; tick < 4; ++tick) {
    scenes.TickAll();
    EXPECT_TRUE(output->shownInPlace) << "drawn where the output lent at tick " << tick;
  }
  EXPECT_EQ(output->blocksShown, 2);
  refuse = true;
  EXPECT_FALSE(scenes.LayOut({Screen{1, ScreenRect{0, 0, 90, 40}}}));
  EXPECT_EQ(scenes.Driver(0).Frame().layout, FrameLayout::kBottomUpBgr24) << "not placed: nothing lent";
  scenes.TickAll();
}

}  // namespace
}  // namespace kivo
