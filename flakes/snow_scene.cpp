#include "flakes/snow_scene.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "flakes/projection.h"

namespace kivo {
namespace {

constexpr double kDepthLimit = 5.0;
constexpr double kGustProbability = 0.1;
// A draw is an output n / 32768, so "draw < 0.1" is "n < 3277", tested on
// the output without converting it.
constexpr int kGustOutputs = 3277;
static_assert(kGustOutputs / 32768.0 >= kGustProbability && (kGustOutputs - 1) / 32768.0 < kGustProbability);
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
  target_.pixels = nullptr;
  ForgetLentBlocks();
  MakeFrame();
}

void SnowScene::Stop() {
  FreeFrame();
  ForgetLentBlocks();
  target_.pixels = nullptr;
  for (RasterImage& sprite : sprites_) sprite.Destroy();
}

void SnowScene::Resize(int width, int height) {
  width_ = width;
  height_ = height;
  target_.pixels = nullptr;
  ForgetLentBlocks();
  MakeFrame();
}

void SnowScene::SetTarget(const FrameTarget& target) {
  if (target == target_) return;
  target_ = target;
  if (target_.layout != FrameLayout::kTopDownXrgb32) target_.pixels = nullptr;  // only 32-bit rows are lent
  MakeFrame();
}

void SnowScene::FreeBlock::operator()(std::uint8_t* block) const { std::free(block); }

void SnowScene::FreeFrame() {
  frameBuffer_.Destroy();
  ownXrgb_.reset();
  own_.Reset(nullptr);
  painter_ = &own_;
}

void SnowScene::MakeFrame() {
  if (target_.pixels != nullptr) {
    // Lent rows, perhaps other ones each beat: the own block goes once.
    if (painter_ == &own_) FreeFrame();
    painter_ = Lend();
    return;
  }
  FreeFrame();
  if (target_.layout == FrameLayout::kBottomUpBgr24) {
    frameBuffer_.Create(width_, height_, 24);
    own_.Reset(&frameBuffer_);
    return;
  }
  if (width_ < 1 || height_ < 1) return;
  const std::size_t stride = 4 * static_cast<std::size_t>(width_);
  ownXrgb_.reset(static_cast<std::uint8_t*>(std::calloc(stride * static_cast<std::size_t>(height_), 1)));
  if (ownXrgb_ == nullptr) return;  // running blind, as without a 24-bit frame buffer
  own_.Reset(ownXrgb_.get(), width_, height_, static_cast<int>(stride), true);
}

FramePainter* SnowScene::Lend() {
  LentBlock* slot = &lent_[0];
  for (LentBlock& block : lent_) {
    if (block.target == target_) {
      slot = &block;
      break;
    }
    if (block.lastUse < slot->lastUse) slot = &block;  // the least recently drawn is forgotten
  }
  if (!(slot->target == target_)) {
    slot->target = target_;
    // Whatever it shows, the first frame drawn there blackens it whole.
    slot->painter.Reset(target_.pixels, width_, height_, target_.stride, false);
  }
  slot->lastUse = ++lendings_;
  return &slot->painter;
}

void SnowScene::ForgetLentBlocks() {
  for (LentBlock& block : lent_) {
    block.target = FrameTarget{};
    block.painter.Reset(nullptr);
    block.lastUse = 0;
  }
}

void SnowScene::Respawn(std::int32_t index) {
  FlakeState f = field_.Get(index);
  SpawnFlake(f, random_, width_, height_);
  field_.Set(index, f);
}

void SnowScene::FinishFlake(std::int32_t index, double sx, double sy, int r) {
  if (field_.Z()[index] < kDepthLimit) {
    // Moved too close: respawned before it is drawn, and projected afresh.
    Respawn(index);
    double sx1 = 0;
    double unusedY = 0;
    Project(field_.X()[index], field_.Y()[index], field_.Z()[index], kFocalLength, &sx, &sy);
    Project(field_.X()[index] + 1, field_.Y()[index], field_.Z()[index], kFocalLength, &sx1, &unusedY);
    sx += centreX_;
    sy += centreY_;
    sx1 += centreX_;
    r = static_cast<int>(std::fabs(sx1 - sx));
  }

  if (random_.NextOutput() < kGustOutputs) {
    field_.VX()[index] = (random_.UniformRandom() - 0.5) * width_ * 0.001;
    field_.VY()[index] = random_.UniformRandom() * height_ * 0.001 + 3;
  }

  // Each test uses the position projected above; every hit respawns again,
  // drawing six fresh values, and the last respawn stands.
  if (height_ + r < sy) Respawn(index);
  if (sx < r) Respawn(index);
  if (width_ + r < sx) Respawn(index);

  // Drawn where it was projected, even if it has just been respawned.
  const int x = static_cast<int>(sx);
  const int y = static_cast<int>(sy);
  if (r <= kLargestDisc) {
    painter_->AddDisc(x, y, r, kDiscGrey);
    return;
  }
  const int sprite = static_cast<int>(kSpriteCount * random_.UniformRandom());
  painter_->AddSprite(x, y, r, sprites_[static_cast<std::size_t>(sprite)]);
}

void SnowScene::RenderFrame() {
  painter_->Clear();
  centreX_ = width_ * 0.5;
  centreY_ = height_ * 0.5;
  // Moving and projecting draws no random number, so a chunk of flakes goes
  // through it ahead of the rest of their step, several at a time; the rest
  // runs flake by flake in order, since it shares one random stream.
  for (std::int32_t first = 0; first < flakeCount_; first += kMotionChunk) {
    const std::int32_t count = std::min<std::int32_t>(kMotionChunk, flakeCount_ - first);
    MoveAndProject(motion_, field_, first, count, centreX_, centreY_, &chunk_);
    for (std::int32_t i = 0; i < count; ++i) FinishFlake(first + i, chunk_.sx[i], chunk_.sy[i], chunk_.r[i]);
  }
  painter_->Flush();
}

FrameView SnowScene::Frame() const {
  FrameView view;
  view.layout = target_.layout;
  view.damage = painter_->Damage();
  if (target_.layout == FrameLayout::kBottomUpBgr24) {
    view.bottomRow = frameBuffer_.RowAddress(frameBuffer_.Height() - 1);
    view.topRow = frameBuffer_.RowAddress(0);
    view.width = frameBuffer_.Width();
    view.height = frameBuffer_.Height();
    view.stride = frameBuffer_.Stride();
    return view;
  }
  view.topRow = painter_->TopRow();
  if (view.topRow == nullptr) return view;
  view.width = width_;
  view.height = height_;
  view.stride = painter_->Stride();
  return view;
}

}  // namespace kivo
