// A surface's buffers: free, held by the compositor, or retired (of an old
// size, gone when released); never a write into a held one, never more
// than three of the current size, and a failed allocation leaves no buffer
// to draw into rather than a wrong one.
#include "host/wayland/buffer_pool.h"

#include <gtest/gtest.h>

#include <memory>

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
  FakeBuffer* first = p.pool.Acquire();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(p.pool.Acquire(), first) << "a free buffer is drawn into again";
  EXPECT_EQ(p.pool.FrameOf(first), 0u);
  p.pool.Hold(first, 1);
  EXPECT_EQ(p.pool.FrameOf(first), 1u);
  FakeBuffer* second = p.pool.Acquire();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  p.pool.Hold(second, 2);
  FakeBuffer* third = p.pool.Acquire();
  ASSERT_NE(third, nullptr);
  p.pool.Hold(third, 3);
  EXPECT_EQ(p.pool.Acquire(), nullptr) << "three held: wait for one back";
  EXPECT_EQ(p.made, 3);
  p.pool.Release(second);
  EXPECT_EQ(p.pool.Acquire(), second);
  EXPECT_EQ(p.pool.FrameOf(second), 2u) << "it still shows the frame it held";
  EXPECT_EQ(second->width, 64);
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

TEST(BufferPool, NoMemoryMeansNoBufferToDrawInto) {
  Pool p;
  p.memory = false;
  EXPECT_FALSE(p.pool.Resize(64, 32));
  EXPECT_FALSE(p.pool.Usable());
  EXPECT_EQ(p.pool.Acquire(), nullptr);
  EXPECT_FALSE(p.pool.Resize(0, 32)) << "no pixels, no buffer";
  p.memory = true;
  ASSERT_TRUE(p.pool.Resize(64, 32));
  FakeBuffer* one = p.pool.Acquire();
  p.pool.Hold(one, 1);
  p.memory = false;
  EXPECT_EQ(p.pool.Acquire(), nullptr) << "a second cannot be made: wait, never reuse the held one";
  p.pool.Release(one);
  EXPECT_EQ(p.pool.Acquire(), one);
}

}  // namespace
}  // namespace kivo
