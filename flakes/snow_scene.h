// SnowScene: everything the animation keeps between ticks, owned by a host.
//
// Hosts do not drive it directly: SaverDriver (host/shared/saver_driver.h) owns one
// and runs its life cycle. Tests and benchmarks use it on its own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "flakes/flake_field.h"
#include "flakes/flake_motion.h"
#include "flakes/flake_sprite.h"
#include "flakes/frame_painter.h"
#include "flakes/frame_view.h"
#include "flakes/random_source.h"
#include "raster/raster_image.h"

namespace kivo {

class SnowScene {
 public:
  SnowScene() = default;
  SnowScene(const SnowScene&) = delete;
  SnowScene& operator=(const SnowScene&) = delete;

  RandomSource& Random() { return random_; }

  // Builds the seven sprites, spawns the first `flakeCount` flakes (clamped
  // to the field) and creates the W x H frame buffer, in that order.
  // A frame buffer that cannot be created leaves the scene running blind.
  void Start(int width, int height, std::int32_t flakeCount);

  // Frees the frame buffer and then the sprites; the flakes stay as they are.
  void Stop();

  // Re-creates the frame buffer at a new size; flakes and sprites are kept.
  // Memory someone else lent (SetTarget) has the old size: the scene goes
  // back to a block of its own in the same layout.
  void Resize(int width, int height);

  // Where the frames are drawn from now on (the 24-bit block by default):
  // the flakes stay. Lent memory must stay valid until the next SetTarget,
  // Resize or Stop. A host may take turns among a few lent blocks (a window
  // system's buffers): the scene remembers what it last drew in each of the
  // last kLentBlocks, so a frame drawn into one again clears only that, as
  // long as the target's generation says nothing else has written it since.
  // A block new to the scene, or written by someone else, is drawn whole.
  void SetTarget(const FrameTarget& target);
  static constexpr std::size_t kLentBlocks = 4;
  const FrameTarget& Target() const { return target_; }

  // One tick: clear, move, respawn and draw every live flake.
  void RenderFrame();

  // The frame as the last tick left it (empty without a frame buffer).
  FrameView Frame() const;

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::int32_t FlakeCount() const { return flakeCount_; }
  // The 24-bit frame buffer (empty in the 32-bit layout).
  const RasterImage& FrameBuffer() const { return frameBuffer_; }
  const RasterImage& Sprite(int index) const { return sprites_[static_cast<std::size_t>(index)]; }
  FlakeField& Field() { return field_; }

  // How flakes are moved and projected; every kind draws the same frames.
  // The fastest the processor has unless a test or benchmark chooses.
  void SetMotion(MotionKind kind) { motion_ = kind; }
  MotionKind Motion() const { return motion_; }

 private:
  // The rest of a moved and projected flake's step: respawns, gusts and
  // drawing, in the order of the random stream.
  void FinishFlake(std::int32_t index, double sx, double sy, int r);
  void Respawn(std::int32_t index);
  // (Re)creates the frame's memory for the target and size, binds the painter.
  void MakeFrame();
  void FreeFrame();
  // The painter that remembers `target_`'s block, bound afresh where none does.
  FramePainter* Lend();
  void ForgetLentBlocks();

  struct FreeBlock {
    void operator()(std::uint8_t* block) const;
  };

  // Construction order matters to nobody but mirrors the destruction the
  // window performs: frame buffer first, then the sprites.
  RasterImage frameBuffer_;
  std::unique_ptr<std::uint8_t, FreeBlock> ownXrgb_;  // the scene's own 32-bit block
  FrameTarget target_;
  std::array<RasterImage, kSpriteCount> sprites_;
  FramePainter own_;  // draws the scene's own blocks
  // What the scene drew into each lent block it remembers.
  struct LentBlock {
    FrameTarget target;
    FramePainter painter;
    std::uint64_t lastUse = 0;
  };
  std::array<LentBlock, kLentBlocks> lent_;
  std::uint64_t lendings_ = 0;
  FramePainter* painter_ = &own_;  // the one drawing the current target
  FlakeField field_;
  RandomSource random_;
  MotionKind motion_ = FastestMotion();
  ProjectedChunk chunk_{};
  double centreX_ = 0;
  double centreY_ = 0;
  std::int32_t flakeCount_ = 0;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace kivo
