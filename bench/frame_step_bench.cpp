// Frame step and rasteriser benchmarks. Report milliseconds per iteration
// and, where it means something, pixels touched per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "flakes/frame_painter.h"

#include "flakes/flake_motion.h"
#include "flakes/flake_sprite.h"
#include "flakes/snow_scene.h"
#include "host/shared/frame_conversion.h"
#include "raster/additive_rasterisers.h"
#include "raster/raster_image.h"
#ifdef KIVO_BENCH_REFERENCE
#include "tests/reference/reference_renderer.h"
#endif

namespace {

constexpr int kWarmUpFrames = 300;  // long enough for the field to reach its steady state

// Pixels of the frame that the last step drew into (not black).
long LitPixels(const kivo::FrameView& frame) {
  long lit = 0;
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 0; x < frame.width; ++x) {
      const std::uint8_t* p = frame.Pixel(x, y);
      lit += (p[0] | p[1] | p[2]) != 0;
    }
  }
  return lit;
}

// The fourth argument chooses how flakes are moved: 0 one at a time, 1 SSE2,
// 2 AVX2 (skipped where the processor or the build has not got it); the
// fifth the frame's layout: 0 the bottom-up 24-bit block, 1 top-down 32-bit
// rows (what kivo draws on Linux).
void BM_FrameStep(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const auto motion = static_cast<kivo::MotionKind>(state.range(3));
  if (!kivo::MotionAvailable(motion)) {
    state.SkipWithError("not on this processor");
    return;
  }
  const bool xrgb = state.range(4) != 0;
  state.SetLabel(std::string(kivo::MotionName(motion)) + (xrgb ? " xrgb32" : " bgr24"));
  auto scene = std::make_unique<kivo::SnowScene>();
  scene->SetMotion(motion);
  scene->Random().SeedRandom(1);
  scene->Start(width, height, static_cast<std::int32_t>(state.range(2)));
  if (xrgb) scene->SetTarget(kivo::FrameTarget{kivo::FrameLayout::kTopDownXrgb32});
  for (int i = 0; i < kWarmUpFrames; ++i) scene->RenderFrame();
  for (auto _ : state) {
    scene->RenderFrame();
    benchmark::DoNotOptimize(scene->Frame().topRow);
  }
  state.counters["pixels/frame"] = static_cast<double>(width) * height;
  state.counters["lit/frame"] = static_cast<double>(LitPixels(scene->Frame()));
}
BENCHMARK(BM_FrameStep)
    ->ArgsProduct({{800}, {600}, {10000}, {0, 1, 2}, {0}})
    ->ArgsProduct({{1920}, {1080}, {30000}, {0, 1, 2}, {0, 1}})
    ->ArgsProduct({{3840}, {2160}, {30000}, {0, 1, 2}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// Spends `span` computing in registers, touching no memory.
void ComputeFor(std::chrono::microseconds span) {
  const auto end = std::chrono::steady_clock::now() + span;
  double x = 1;
  while (std::chrono::steady_clock::now() < end) {
    for (int i = 0; i < 1000; ++i) x = x * 1.0000001 + 1e-9;
    benchmark::DoNotOptimize(x);
  }
}

// The frame step as the live saver runs it: after the process has slept
// through the rest of a 30 ms beat. The fourth argument is the gap in
// microseconds (0: none, the frames back to back as above); the fifth how
// it is spent: 0 asleep, 1 computing without touching memory. Either costs
// the next step dearly on a virtual machine: what the step left in the
// caches is gone after 30 ms even while the process keeps its core busy,
// so the field, the frame's touched rows and the painter's records come
// back from memory. Top-down 32-bit rows, the fastest motion.
void BM_FrameStepAfterIdle(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const auto idle = std::chrono::microseconds(state.range(3));
  const bool busy = state.range(4) != 0;
  auto scene = std::make_unique<kivo::SnowScene>();
  scene->Random().SeedRandom(1);
  scene->Start(width, height, static_cast<std::int32_t>(state.range(2)));
  scene->SetTarget(kivo::FrameTarget{kivo::FrameLayout::kTopDownXrgb32});
  for (int i = 0; i < kWarmUpFrames; ++i) scene->RenderFrame();
  for (auto _ : state) {
    if (idle.count() > 0) {
      state.PauseTiming();
      if (busy) {
        ComputeFor(idle);
      } else {
        std::this_thread::sleep_for(idle);
      }
      state.ResumeTiming();
    }
    scene->RenderFrame();
    benchmark::DoNotOptimize(scene->Frame().topRow);
  }
}
BENCHMARK(BM_FrameStepAfterIdle)
    ->ArgsProduct({{1920}, {1080}, {30000}, {0, 1000, 30000}, {0}})
    ->Args({1920, 1080, 30000, 30000, 1})
    ->Args({3840, 2160, 30000, 30000, 0})
    ->Unit(benchmark::kMillisecond);

// Moving and projecting alone, per flake, for every way of doing it.
void BM_MoveAndProject(benchmark::State& state) {
  const auto motion = static_cast<kivo::MotionKind>(state.range(0));
  if (!kivo::MotionAvailable(motion)) {
    state.SkipWithError("not on this processor");
    return;
  }
  state.SetLabel(kivo::MotionName(motion));
  auto field = std::make_unique<kivo::FlakeField>();
  kivo::RandomSource random;
  random.SeedRandom(1);
  field->SpawnAllFlakes(kivo::kFlakeCapacity, random, 1920, 1080);
  // Slow the flakes so that none comes close enough to need respawning.
  for (std::int32_t i = 0; i < kivo::kFlakeCapacity; ++i) field->VZ()[i] = -1e-9;
  auto chunk = std::make_unique<kivo::ProjectedChunk>();
  for (auto _ : state) {
    for (std::int32_t first = 0; first < kivo::kFlakeCapacity; first += kivo::kMotionChunk) {
      const std::int32_t count = std::min(kivo::kMotionChunk, kivo::kFlakeCapacity - first);
      kivo::MoveAndProject(motion, *field, first, count, 960, 540, chunk.get());
      benchmark::DoNotOptimize(chunk->r[0]);
    }
  }
  state.SetItemsProcessed(state.iterations() * kivo::kFlakeCapacity);
}
BENCHMARK(BM_MoveAndProject)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

#ifdef KIVO_BENCH_REFERENCE
// The same frames drawn pixel by pixel through guarded accessors.
void BM_ReferenceFrameStep(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  kivo::reference::Scene scene(1, width, height, static_cast<std::int32_t>(state.range(2)));
  for (int i = 0; i < kWarmUpFrames; ++i) scene.Step();
  for (auto _ : state) {
    scene.Step();
    benchmark::DoNotOptimize(scene.Frame().bgr.data());
  }
  state.counters["pixels/frame"] = static_cast<double>(width) * height;
}
BENCHMARK(BM_ReferenceFrameStep)
    ->Args({800, 600, 10000})
    ->Args({1920, 1080, 30000})
    ->Args({3840, 2160, 30000})
    ->Unit(benchmark::kMillisecond);
#endif

// A window system's buffer brought up to date with one frame's damage, as
// the Wayland host does for each buffer it reuses: converted from the 24-bit
// block (argument 0) or copied from 32-bit rows (1), 1920 x 1080 x 30000.
void BM_BringBuffer(benchmark::State& state) {
  const bool xrgb = state.range(0) != 0;
  state.SetLabel(xrgb ? "xrgb32" : "bgr24");
  auto scene = std::make_unique<kivo::SnowScene>();
  scene->Random().SeedRandom(1);
  scene->Start(1920, 1080, 30000);
  if (xrgb) scene->SetTarget(kivo::FrameTarget{kivo::FrameLayout::kTopDownXrgb32});
  for (int i = 0; i < kWarmUpFrames; ++i) scene->RenderFrame();
  const int stride = 1920 * 4;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(stride) * 1080);
  kivo::DamageHistory history;
  kivo::DirtyRows rows;
  std::uint64_t held = 0;
  for (auto _ : state) {
    state.PauseTiming();
    scene->RenderFrame();
    history.Record(scene->Frame());
    state.ResumeTiming();
    history.BringUpToDate(scene->Frame(), held, kivo::PixelFormat{}, buffer.data(), stride, &rows);
    held = history.Latest();
    benchmark::DoNotOptimize(buffer.data());
  }
}
BENCHMARK(BM_BringBuffer)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

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

// The frame step's own drawing paths, as it uses them.
void BM_PainterDisc(benchmark::State& state) {
  kivo::RasterImage frame;
  frame.Create(1920, 1080, 24);
  kivo::FramePainter painter;
  painter.Reset(&frame);
  const int radius = static_cast<int>(state.range(0));
  unsigned n = 0;
  for (auto _ : state) {
    painter.AddDisc(static_cast<int>((n * 7919u) % 1920u), static_cast<int>((n * 104729u) % 1080u), radius, 128);
    if (++n % 4096 == 0) {
      painter.Flush();
      painter.Clear();
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PainterDisc)->Arg(0)->Arg(1)->Arg(2);

void BM_PainterSprite(benchmark::State& state) {
  kivo::RasterImage frame;
  frame.Create(1920, 1080, 24);
  kivo::RasterImage sprite;
  kivo::BuildFlakeSprite(sprite, 255, 255, 255);
  kivo::FramePainter painter;
  painter.Reset(&frame);
  const int r = static_cast<int>(state.range(0));
  int x = 0;
  for (auto _ : state) {
    painter.AddSprite(200 + (x++ & 1023), 500, r, sprite);
    if (x % 256 == 0) painter.Clear();
  }
  state.counters["pixels/quad"] = (2.0 * r + 1) * (2.0 * r + 1);
}
BENCHMARK(BM_PainterSprite)->Arg(3)->Arg(10)->Arg(30)->Arg(100);

void BM_BuildSprite(benchmark::State& state) {
  kivo::RasterImage sprite;
  for (auto _ : state) kivo::BuildFlakeSprite(sprite, 230, 255, 255);
}
BENCHMARK(BM_BuildSprite)->Unit(benchmark::kMicrosecond);

}  // namespace
