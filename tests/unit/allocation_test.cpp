// The frame step allocates nothing once the field has settled: every operator new in this program is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "flakes/snow_scene.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kivo {
namespace {

TEST(FrameStepMemory, NoAllocationPerFrameInSteadyState) {
  for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{640, 480}}) {
    auto scene = std::make_unique<SnowScene>();
    scene->Random().SeedRandom(5);
    scene->Start(w, h, 30000);
    for (int i = 0; i < 300; ++i) scene->RenderFrame();
    const long before = allocations.load();
    for (int i = 0; i < 300; ++i) scene->RenderFrame();
    EXPECT_EQ(allocations.load() - before, 0) << w << "x" << h;
  }
}

}  // namespace
}  // namespace kivo
