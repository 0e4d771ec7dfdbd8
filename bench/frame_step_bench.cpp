// Frame step and rasteriser benchmarks. Report milliseconds per iteration
// and, where it means something, pixels touched per second.
#include <benchmark/benchmark.h>

#include <memory>

#include "flakes/flake_sprite.h"
#include "flakes/snow_scene.h"
#include "raster/additive_rasterisers.h"
#include "raster/raster_image.h"

namespace {

constexpr int kWarmUpFrames = 300;  // long enough for the field to reach its steady state

void BM_FrameStep(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  auto scene = std::make_unique<kivo::SnowScene>();
  scene->Random().SeedRandom(1);
  scene->Start(width, height, static_cast<std::int32_t>(state.range(2)));
  for (int i = 0; i < kWarmUpFrames; ++i) scene->RenderFrame(nullptr);
  for (auto _ : state) {
    scene->RenderFrame(nullptr);
    benchmark::DoNotOptimize(scene->FrameBuffer().RowAddress(0));
  }
  state.counters["pixels/frame"] = static_cast<double>(width) * height;
}
BENCHMARK(BM_FrameStep)
    ->Args({800, 600, 10000})
    ->Args({1920, 1080, 30000})
    ->Args({3840, 2160, 30000})
    ->Unit(benchmark::kMillisecond);

void BM_Clear(benchmark::State& state) {
  kivo::RasterImage frame;
  frame.Create(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 24);
  for (auto _ : state) {
    frame.FillRectangle(0, 0, frame.Width() - 1, frame.Height() - 1, 0, 0, 0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * frame.Stride() * frame.Height());
}
BENCHMARK(BM_Clear)->Args({1920, 1080})->Args({3840, 2160})->Unit(benchmark::kMillisecond);

void BM_Disc(benchmark::State& state) {
  kivo::RasterImage frame;
  frame.Create(1920, 1080, 24);
  const int radius = static_cast<int>(state.range(0));
  int x = 0;
  for (auto _ : state) {
    frame.AddFilledCircle(100 + (x++ & 1023), 500, radius, 128, 128, 128);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Disc)->Arg(0)->Arg(1)->Arg(2);

void BM_SpriteQuad(benchmark::State& state) {
  kivo::RasterImage frame;
  frame.Create(1920, 1080, 24);
  kivo::RasterImage sprite;
  kivo::BuildFlakeSprite(sprite, 255, 255, 255);
  const int r = static_cast<int>(state.range(0));
  const kivo::Quad tex{0, 0, 64, 0, 64, 64, 0, 64};
  int x = 0;
  for (auto _ : state) {
    const int cx = 200 + (x++ & 1023);
    const int cy = 500;
    kivo::AddTexturedQuad(frame, kivo::Quad{cx - r, cy - r, cx + r, cy - r, cx + r, cy + r, cx - r, cy + r}, sprite,
                          tex);
  }
  state.counters["pixels/quad"] = (2.0 * r + 1) * (2.0 * r + 1);
}
BENCHMARK(BM_SpriteQuad)->Arg(3)->Arg(10)->Arg(30)->Arg(100);

void BM_BuildSprite(benchmark::State& state) {
  kivo::RasterImage sprite;
  for (auto _ : state) kivo::BuildFlakeSprite(sprite, 230, 255, 255);
}
BENCHMARK(BM_BuildSprite)->Unit(benchmark::kMicrosecond);

}  // namespace
