// The two frame layouts: a scene drawing top-down 32-bit XRGB rows, its own
// or lent, shows the colours of the bottom-up 24-bit block pixel for pixel,
// with the same damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "flakes/snow_scene.h"
#include "tests/unit/frame_checks.h"
#include "tests/unit/pixels.h"

namespace kivo {
namespace {

using frames::kXrgb;
using frames::LentRows;
using frames::SameColours;
using frames::SameDamage;

// A window system's buffers: the scene draws into whichever is free, in no
// fixed order, and each must show exactly the frame of its tick. Blocks
// written by someone else meanwhile (a new generation) and more blocks than
// the scene remembers are drawn whole; the others only where they differ.
// Its own blocks, of either layout, keep the snow and are drawn whole when
// the scene turns to them; a resize gives lent rows back.
TEST(FrameLayouts, FramesTakingTurnsAmongLentBlocksAreEachExactlyTheirTick) {
  auto reference = pixels::Scene(47, 150, 110, 20000);
  auto scene = pixels::Scene(47, 150, 110, 20000);
  std::vector<LentRows> blocks(SnowScene::kLentBlocks + 1, LentRows(150, 110));
  std::vector<std::uint32_t> generation(blocks.size(), 0);
  // -1: the scene's own 32-bit block, -2 its 24-bit one; 9: block 0 after something else wrote it.
  const int order[] = {0, 1, 0, 2, 1, 0, -1, -1, 0, 2, 2, 1, 9, 0, 1, 3, 4, 0, 1, 2, 0, 1, -1, 1, 0, 9, -2, -2, 1, 0, 1};
  constexpr int kOrder = sizeof order / sizeof *order;
  int partial = 0;
  int previous = -9;  // no block yet
  std::vector<int> recent;  // blocks by their last frame, the latest first
  for (int tick = 0; tick < 3 * kOrder; ++tick) {
    int pick = order[tick % kOrder];
    const bool again = pick == previous;  // the block drawn before, unless someone else wrote it
    previous = pick;
    if (pick == 9) {
      recent.erase(std::remove(recent.begin(), recent.end(), 0), recent.end());  // forgotten by its generation
      for (std::size_t row = 0; row < blocks[0].bytes.size(); row += static_cast<std::size_t>(blocks[0].stride)) {
        std::fill_n(blocks[0].bytes.begin() + static_cast<std::ptrdiff_t>(row), 4 * 150, std::uint8_t{0x5A});
      }
      ++generation[0];
      pick = 0;
    }
    FrameTarget target{pick == -2 ? FrameLayout::kBottomUpBgr24 : kXrgb};
    if (pick >= 0) {
      const auto at = static_cast<std::size_t>(pick);
      target = blocks[at].Target();
      target.generation = generation[at];
    }
    scene->SetTarget(target);
    reference->RenderFrame();
    scene->RenderFrame();
    const FrameView frame = scene->Frame();
    ASSERT_TRUE(SameColours(reference->Frame(), frame, target.layout)) << "block " << pick << " at tick " << tick;
    if (again) {
      ASSERT_TRUE(SameDamage(reference->Frame().damage, frame.damage)) << "block " << pick << " at tick " << tick;
    }
    if (pick < 0) {
      ASSERT_EQ(frame.damage.whole, !again) << "own block " << pick << " at tick " << tick;
    } else {
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
  EXPECT_EQ(scene->Target().layout, kXrgb);
  EXPECT_EQ(scene->Target().pixels, nullptr) << "lent rows of the old size are not drawn into";
  reference->RenderFrame();
  scene->RenderFrame();
  EXPECT_TRUE(scene->Frame().topRow != blocks[1].bytes.data() && scene->Frame().width == 140);
  std::fill(blocks[1].bytes.begin(), blocks[1].bytes.end(), std::uint8_t{0x5A});
  scene->SetTarget(blocks[1].Target());
  reference->RenderFrame();
  scene->RenderFrame();
  EXPECT_TRUE(SameColours(reference->Frame(), scene->Frame())) << "a block lent again after a new size";
}

}  // namespace
}  // namespace kivo
