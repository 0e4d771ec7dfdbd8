// kivo-render: the saver with no window. It runs the same SaverDriver as the
// screen savers do (seed, count, start, F ticks) and writes the last frame.
#include <algorithm>
#include <chrono>
#include <memory>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "flakes/flake_limits.h"
#include "host/shared/saver_driver.h"
#include "tools/kivo-render/gif_file.h"
#include "tools/kivo-render/image_file.h"
#include "tools/kivo-render/render_options.h"

namespace {

constexpr int kUsageError = 2;

int Fail(const std::string& message) { return kivo::FailWith("kivo-render", message, kUsageError); }

void PrintStats(std::vector<double> millis) {
  if (millis.empty()) {
    std::printf("no frame steps timed (--frames 0)\n");
    return;
  }
  double sum = 0;
  for (double m : millis) sum += m;
  std::sort(millis.begin(), millis.end());
  const std::size_t n = millis.size();
  const double median = n % 2 == 1 ? millis[n / 2] : (millis[n / 2 - 1] + millis[n / 2]) / 2;
  std::printf("frame step: median %.3f ms, mean %.3f ms over %zu frames\n", median, sum / n, n);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kivo::ParseResult parsed = kivo::ParseRenderOptions(args);
  const int answered =
      kivo::AnswerCommandLine(parsed, "kivo-render", kivo::ProgramUsage(kivo::Program::kRender).c_str());
  if (answered >= 0) return answered;
  const kivo::RenderOptions& o = parsed.options;
  std::string error;
  if ((o.format == kivo::ImageFormat::kPng && !kivo::PngSupported()) ||
      (o.format == kivo::ImageFormat::kGif && !kivo::GifSupported())) {
    return Fail("this build writes BMP files only; use a .bmp file name");
  }
  if (o.format == kivo::ImageFormat::kGif && o.frames < 1) return Fail("an animated GIF needs --frames 1 or more");
  if (!kivo::CanCreateFile(o.out, &error)) return Fail(error);

  kivo::SaverDriver driver;  // no window, no input
  const std::uint32_t seed = kivo::RunSeed(o);
  if (!o.seedGiven) std::fprintf(stderr, "kivo-render: seed %lu\n", static_cast<unsigned long>(seed));
  driver.Seed(seed);
  const std::int32_t count = kivo::ClampToFieldCapacity(o.count);
  if (count != o.count) {
    std::fprintf(stderr, "kivo-render: warning: count %lld clamped to %ld\n", static_cast<long long>(o.count),
                 static_cast<long>(count));
  }
  driver.Start(o.width, o.height, count);
  if (driver.Frame().Empty()) {
    return Fail("cannot allocate a " + std::to_string(o.width) + " x " + std::to_string(o.height) + " frame buffer");
  }

  // An animation shows the last ticks, each for one tick period.
  std::unique_ptr<kivo::GifAnimation> gif;
  const std::int64_t firstGifFrame = o.frames - std::min(o.frames, o.gifFrames);
  if (o.format == kivo::ImageFormat::kGif) {
    gif = kivo::GifAnimation::Start(o.out, o.width, o.height, kivo::SaverDriver::kTickMilliseconds, &error);
    if (!gif) return Fail(error);
  }

  std::vector<double> millis;
  if (o.stats) millis.reserve(static_cast<std::size_t>(std::min<std::int64_t>(o.frames, 1 << 20)));
  const auto beat = std::chrono::milliseconds(kivo::SaverDriver::kTickMilliseconds);
  auto next = std::chrono::steady_clock::now();
  for (std::int64_t frame = 0; frame < o.frames; ++frame) {
    if (o.paced) {
      std::this_thread::sleep_until(next);
      next += beat;
    }
    const auto start = std::chrono::steady_clock::now();
    const kivo::FrameView view = driver.Tick();
    const auto end = std::chrono::steady_clock::now();
    if (o.stats && millis.size() < millis.capacity()) {
      millis.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    if (gif && frame >= firstGifFrame && !gif->AddFrame(view, &error)) return Fail(error);
  }
  if (o.stats) PrintStats(millis);

  if (gif) return gif->Finish(&error) ? 0 : Fail(error);
  if (!kivo::WriteImageFile(driver.Frame(), o.out, o.format, &error)) return Fail(error);
  return 0;
}
