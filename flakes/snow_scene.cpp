#include "flakes/snow_scene.h"

#include <cmath>

#include "flakes/projection.h"

namespace kivo {
namespace {

constexpr double kDepthLimit = 5.0;
constexpr double kGustProbability = 0.1;
constexpr int kDiscGrey = 128;
constexpr int kLargestDisc = 2;

}  // namespace

void SnowScene::Start(int width, int height, std::int32_t flakeCount) {
  width_ = width;
  height_ = height;
  flakeCount_ = ClampToFieldCapacity(flakeCount);
  for (int i = 0; i < kSpriteCount; ++i) {
    const Tint& tint = kSpriteTints[i];
    BuildFlakeSprite(sprites_[static_cast<std::size_t>(i)], tint.red, tint.green, tint.blue);
  }
  field_.SpawnAllFlakes(flakeCount_, random_, width_, height_);
  frameBuffer_.Create(width_, height_, 24);
  painter_.Reset(&frameBuffer_);
}

void SnowScene::Stop() {
  frameBuffer_.Destroy();
  painter_.Reset(nullptr);
  for (RasterImage& sprite : sprites_) sprite.Destroy();
}

void SnowScene::Resize(int width, int height) {
  width_ = width;
  height_ = height;
  frameBuffer_.Create(width_, height_, 24);
  painter_.Reset(&frameBuffer_);
}

void SnowScene::StepFlake(FlakeState& f, double cx, double cy) {
  f.x += f.vx;
  f.y += f.vy;
  f.z += f.vz;
  if (f.z < kDepthLimit) SpawnFlake(f, random_, width_, height_);

  // z >= 5 here, so neither projection is refused.
  double sx = 0;
  double sy = 0;
  double sx1 = 0;
  double unusedY = 0;
  Project(f.x, f.y, f.z, kFocalLength, &sx, &sy);
  Project(f.x + 1, f.y, f.z, kFocalLength, &sx1, &unusedY);
  sx += cx;
  sy += cy;
  sx1 += cx;
  const int r = static_cast<int>(std::fabs(sx1 - sx));

  if (random_.UniformRandom() < kGustProbability) {
    f.vx = (random_.UniformRandom() - 0.5) * width_ * 0.001;
    f.vy = random_.UniformRandom() * height_ * 0.001 + 3;
  }

  // Each test uses the position projected above; every hit respawns again,
  // drawing six fresh values, and the last respawn stands.
  if (height_ + r < sy) SpawnFlake(f, random_, width_, height_);
  if (sx < r) SpawnFlake(f, random_, width_, height_);
  if (width_ + r < sx) SpawnFlake(f, random_, width_, height_);

  // Drawn where it was projected, even if it has just been respawned.
  const int x = static_cast<int>(sx);
  const int y = static_cast<int>(sy);
  if (r <= kLargestDisc) {
    painter_.AddDisc(x, y, r, kDiscGrey);
    return;
  }
  const int sprite = static_cast<int>(kSpriteCount * random_.UniformRandom());
  painter_.AddSprite(x, y, r, sprites_[static_cast<std::size_t>(sprite)]);
}

void SnowScene::RenderFrame() {
  painter_.Clear();
  const double cx = width_ * 0.5;
  const double cy = height_ * 0.5;
  for (std::int32_t i = 0; i < flakeCount_; ++i) StepFlake(field_[i], cx, cy);
  painter_.Flush();
}

FrameView SnowScene::Frame() const {
  FrameView view;
  view.bottomRow = frameBuffer_.RowAddress(frameBuffer_.Height() - 1);
  view.width = frameBuffer_.Width();
  view.height = frameBuffer_.Height();
  view.stride = frameBuffer_.Stride();
  view.damage = painter_.Damage();
  return view;
}

}  // namespace kivo
