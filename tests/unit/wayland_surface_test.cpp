// What a Wayland surface keeps without a compositor: its buffers (free, held
// by the compositor, or retired: of an old size, gone when released), the
// damage the compositor has not seen, and a lock that asks nothing of a lock
// object it does not hold.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "host/wayland/buffer_pool.h"
#include "host/wayland/unshown_damage.h"
#include "host/wayland/wayland_lock.h"

namespace kivo {
namespace {

struct FakeBuffer {
  int width, height;
  int* alive;
  FakeBuffer(int w, int h, int* count) : width(w), height(h), alive(count) { ++*alive; }
  ~FakeBuffer() { --*alive; }
};

struct Pool {
  int alive = 0;
  int made = 0;
  bool memory = true;
  BufferPool<FakeBuffer> pool{[this](int w, int h) {
    ++made;
    return memory ? std::make_unique<FakeBuffer>(w, h, &alive) : nullptr;
  }};
};

TEST(BufferPool, HeldBuffersAreNeverGivenOutAndAThirdIsTheLast) {
  Pool p;
  ASSERT_TRUE(p.pool.Resize(64, 32));
  FakeBuffer* held[3] = {};
  for (std::uint64_t i = 0; i < 3; ++i) {
    held[i] = p.pool.Acquire();
    ASSERT_NE(held[i], nullptr);
    EXPECT_EQ(p.pool.Acquire(), held[i]) << "a free buffer is drawn into again";
    EXPECT_EQ(p.pool.FrameOf(held[i]), 0u);
    p.pool.Hold(held[i], i + 1);
    EXPECT_EQ(p.pool.FrameOf(held[i]), i + 1);
  }
  EXPECT_EQ(p.pool.Acquire(), nullptr) << "three held: wait for one back";
  EXPECT_TRUE(p.made == 3 && held[0] != held[1] && held[1] != held[2] && held[2] != held[0]);
  p.pool.Release(held[1]);
  EXPECT_EQ(p.pool.Acquire(), held[1]);
  EXPECT_EQ(p.pool.FrameOf(held[1]), 2u) << "it still shows the frame it held";
  EXPECT_EQ(held[1]->width, 64);
}

TEST(BufferPool, AResizeRetiresHeldBuffersUntilTheyComeBack) {
  Pool p;
  ASSERT_TRUE(p.pool.Resize(64, 32));
  FakeBuffer* held = p.pool.Acquire();
  p.pool.Hold(held, 5);
  FakeBuffer* spare = p.pool.Acquire();
  ASSERT_NE(spare, held);
  ASSERT_EQ(p.alive, 2);
  ASSERT_TRUE(p.pool.Resize(100, 50));
  EXPECT_EQ(p.alive, 2) << "the free one went at once, the held one stays, one new";
  EXPECT_EQ(p.pool.Count(BufferPool<FakeBuffer>::State::kRetired), 1u);
  FakeBuffer* fresh = p.pool.Acquire();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->width, 100);
  EXPECT_EQ(p.pool.FrameOf(fresh), 0u) << "a new buffer holds no frame: it is drawn whole";
  p.pool.Release(held);
  EXPECT_EQ(p.alive, 1) << "the retired buffer goes when the compositor lets it go";
  EXPECT_EQ(p.pool.Count(BufferPool<FakeBuffer>::State::kRetired), 0u);
}

// The columns owed in `row`, first and last.
std::pair<int, int> Owed(const UnshownDamage& owed, int row) {
  return {owed.Rows().first[static_cast<std::size_t>(row)], owed.Rows().last[static_cast<std::size_t>(row)]};
}

// Frames made while the compositor was not asking (or no buffer was free)
// still changed what it must be told: the next frame shown is damaged with
// all of them, and with what the frame it shows drew (the next may be drawn
// in a buffer that held another frame, whose clearing does not name it).
TEST(UnshownDamage, TheFrameShownCarriesTheDamageOfEveryFrameSinceTheLastShown) {
  UnshownDamage owed;
  const std::vector<FrameRun> none;
  const std::vector<FrameRun> first = {{2, 10, 5}};
  const std::vector<FrameRun> second = {{7, 1, 3}};
  owed.Add(FrameDamage{false, &none, &first}, 20);
  EXPECT_TRUE(owed.Whole()) << "nothing shown yet: the whole frame is owed";
  const std::vector<FrameRun> shownBefore = {{5, 4, 2}};
  owed.Shown(FrameDamage{false, &none, &shownBefore}, 20);
  ASSERT_FALSE(owed.Whole());
  EXPECT_EQ(Owed(owed, 5), std::pair(4, 5)) << "what the frame shown drew is owed to the next";
  // The next frame (never shown) draws in row 2; the one after clears row 2
  // and draws in row 7.
  owed.Add(FrameDamage{false, &shownBefore, &first}, 20);  // not shown: the compositor was busy
  owed.Add(FrameDamage{false, &first, &second}, 20);
  ASSERT_FALSE(owed.Whole());
  EXPECT_EQ(Owed(owed, 2), std::pair(10, 14)) << "drawn and cleared by a frame that was never shown: still owed";
  EXPECT_EQ(Owed(owed, 7), std::pair(1, 3));
  EXPECT_EQ(Owed(owed, 5).first, 4) << "what the frame shown drew stays owed, though no later frame names it";
  owed.Shown(FrameDamage{false, &first, &second}, 20);
  EXPECT_GT(Owed(owed, 2).first, Owed(owed, 2).second) << "shown: only what it drew is owed";
  EXPECT_EQ(Owed(owed, 7).first, 1);
  owed.Add(FrameDamage{}, 20);
  EXPECT_TRUE(owed.Whole()) << "a frame changed as a whole is owed whole";
  owed.Shown(FrameDamage{false, &none, &second}, 20);
  EXPECT_FALSE(owed.Whole());
  owed.Shown(FrameDamage{true, &none, &second}, 20);
  EXPECT_TRUE(owed.Whole()) << "a frame drawn as a whole may have drawn more than its runs";
  owed.Shown(FrameDamage{false, &none, &none}, 20);
  owed.Forget();
  EXPECT_TRUE(owed.Whole()) << "a new size owes the whole frame";
}

// After unlocking (or before locking) there is no lock object: an output
// announced then gets no lock surface, rather than a request on a
// destroyed object.
TEST(WaylandLock, NoLockSurfaceIsAskedOfALockNotHeld) {
  WaylandClient unconnected;
  WaylandLock lock(unconnected);
  WaylandOutput output;
  output.name = 7;
  EXPECT_EQ(lock.NewWindow(output, [] {}), nullptr);
  EXPECT_EQ(lock.Session().Current(), LockSession::State::kIdle);
}

}  // namespace
}  // namespace kivo
