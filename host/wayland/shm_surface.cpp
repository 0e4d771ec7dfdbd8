#include "host/wayland/shm_surface.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace kivo {
namespace {

ScreenRect ClippedTo(const ScreenRect& r, int width, int height) {
  const int left = std::max(r.x, 0), top = std::max(r.y, 0);
  const int right = std::min(r.x + r.width, width), bottom = std::min(r.y + r.height, height);
  return right > left && bottom > top ? ScreenRect{left, top, right - left, bottom - top} : ScreenRect{};
}

}  // namespace

// XRGB8888 is blue, green, red, unused in memory on the little-endian
// machines KIVO runs on: the usual 32-bit layout.
struct ShmSurface::Buffer {
  ShmSurface* owner = nullptr;
  wl_buffer* buffer = nullptr;
  std::uint8_t* pixels = nullptr;
  std::size_t bytes = 0;
  int stride = 0;
  bool busy = false;       // the compositor holds it
  bool stale = false;      // of an earlier size: goes when released
  std::uint64_t held = 0;  // the frame it holds (DamageHistory's number)

  ~Buffer() {
    if (buffer != nullptr) wl_buffer_destroy(buffer);
    if (pixels != nullptr) munmap(pixels, bytes);
  }

  // Shared memory of width x height pixels the compositor can read; false
  // when the system has none to give.
  bool Make(wl_shm* shm, int width, int height) {
    stride = width * 4;
    const std::size_t size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    if (size == 0 || size > INT32_MAX) return false;
    const int fd = memfd_create("kivo-frame", MFD_CLOEXEC);
    if (fd < 0) return false;
    bool made = ftruncate(fd, static_cast<off_t>(size)) == 0;
    void* mapped = made ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    made = mapped != MAP_FAILED;
    if (made) {
      pixels = static_cast<std::uint8_t*>(mapped);
      bytes = size;
      wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size));
      buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
      wl_shm_pool_destroy(pool);
      static const wl_buffer_listener listener = {Released};
      wl_buffer_add_listener(buffer, &listener, this);
    }
    close(fd);
    return made;
  }
};

ShmSurface::ShmSurface(const WaylandClient& client, std::function<void()> changed)
    : client_(client), changed_(std::move(changed)) {
  surface_ = wl_compositor_create_surface(client.Compositor());
  static const wl_surface_listener surfaceListener = {
      [](void* data, wl_surface*, wl_output* output) {
        auto* self = static_cast<ShmSurface*>(data);
        self->outputs_.push_back(output);
        if (self->changed_) self->changed_();
      },
      [](void* data, wl_surface*, wl_output* output) {
        auto* self = static_cast<ShmSurface*>(data);
        auto& list = self->outputs_;
        for (auto it = list.begin(); it != list.end(); ++it) {
          if (*it == output) {
            list.erase(it);
            break;
          }
        }
        if (self->changed_) self->changed_();
      },
  };
  wl_surface_add_listener(surface_, &surfaceListener, this);
  if (client.Viewporter() != nullptr) viewport_ = wp_viewporter_get_viewport(client.Viewporter(), surface_);
  if (client.FractionalScale() != nullptr && viewport_ != nullptr) {
    static const wp_fractional_scale_v1_listener listener = {
        [](void* data, wp_fractional_scale_v1*, std::uint32_t scale) {
          auto* self = static_cast<ShmSurface*>(data);
          self->fractionalScale_ = static_cast<int>(scale);
          if (self->changed_) self->changed_();
        },
    };
    fractional_ = wp_fractional_scale_manager_v1_get_fractional_scale(client.FractionalScale(), surface_);
    wp_fractional_scale_v1_add_listener(fractional_, &listener, this);
  }
}

ShmSurface::~ShmSurface() {
  if (frameCallback_ != nullptr) wl_callback_destroy(frameCallback_);
  buffers_.clear();
  if (fractional_ != nullptr) wp_fractional_scale_v1_destroy(fractional_);
  if (viewport_ != nullptr) wp_viewport_destroy(viewport_);
  wl_surface_destroy(surface_);
}

void ShmSurface::SetLogicalSize(int width, int height) {
  logicalWidth_ = width;
  logicalHeight_ = height;
}

void ShmSurface::SetIntegerScale(int scale) { integerScale_ = scale > 0 ? scale : 1; }

int ShmSurface::PixelWidth() const {
  if (fractionalScale_ > 0) return static_cast<int>(std::lround(logicalWidth_ * fractionalScale_ / 120.0));
  return logicalWidth_ * integerScale_;
}

int ShmSurface::PixelHeight() const {
  if (fractionalScale_ > 0) return static_cast<int>(std::lround(logicalHeight_ * fractionalScale_ / 120.0));
  return logicalHeight_ * integerScale_;
}

bool ShmSurface::Prepare(int width, int height) {
  if (width == width_ && height == height_ && !buffers_.empty()) return true;
  // Buffers the compositor still holds go when it gives them back.
  std::vector<std::unique_ptr<Buffer>> kept;
  for (auto& b : buffers_) {
    if (b->busy) {
      b->stale = true;
      kept.push_back(std::move(b));
    }
  }
  buffers_ = std::move(kept);
  width_ = width;
  height_ = height;
  black_ = false;
  for (int i = 0; i < 2; ++i) {
    auto buffer = std::make_unique<Buffer>();
    buffer->owner = this;
    if (!buffer->Make(client_.Shm(), width, height)) {
      ShowBlack();
      return false;
    }
    buffers_.push_back(std::move(buffer));
  }
  return true;
}

// Physical pixels: scaled by the output's integer scale, or drawn 1:1 and
// shown at the logical size for a fractional one. A scale can change while
// the size in pixels stays (a 1024 x 768 output going from 1x to 2x is then
// 512 x 384 logical pixels), so this is looked at before every commit.
void ShmSurface::ApplyScale() {
  const bool fractional = fractionalScale_ > 0 && viewport_ != nullptr;
  const int scale = fractional ? -1 : integerScale_;
  if (scale == appliedScale_ && (!fractional || (appliedWidth_ == logicalWidth_ && appliedHeight_ == logicalHeight_))) {
    return;
  }
  wl_surface_set_buffer_scale(surface_, fractional ? 1 : integerScale_);
  if (viewport_ != nullptr) {
    wp_viewport_set_destination(viewport_, fractional ? logicalWidth_ : -1, fractional ? logicalHeight_ : -1);
  }
  appliedScale_ = scale;
  appliedWidth_ = logicalWidth_;
  appliedHeight_ = logicalHeight_;
}

// No memory for frames of this size: a black pixel stretched over the
// surface, so that nothing behind it shows.
void ShmSurface::ShowBlack() {
  for (auto& b : buffers_) b->stale = true;
  black_ = true;
  width_ = height_ = 0;
  if (viewport_ == nullptr) return;
  auto pixel = std::make_unique<Buffer>();
  pixel->owner = this;
  if (!pixel->Make(client_.Shm(), 1, 1)) return;
  wl_surface_set_buffer_scale(surface_, 1);
  wp_viewport_set_destination(viewport_, logicalWidth_, logicalHeight_);
  appliedScale_ = 0;
  wl_surface_attach(surface_, pixel->buffer, 0, 0);
  wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface_);
  pixel->busy = true;
  pixel->stale = true;
  buffers_.push_back(std::move(pixel));
}

ShmSurface::Buffer* ShmSurface::FreeBuffer() {
  for (auto& b : buffers_) {
    if (!b->busy && !b->stale) return b.get();
  }
  return nullptr;
}

bool ShmSurface::Ready() const {
  if (black_ || width_ == 0 || frameCallback_ != nullptr) return false;
  // A third buffer is made when both are held; more are not worth it.
  int usable = 0;
  for (const auto& b : buffers_) usable += b->stale ? 0 : 1;
  for (const auto& b : buffers_) {
    if (!b->busy && !b->stale) return true;
  }
  return usable < 3;
}

void ShmSurface::Show(const FrameView& frame) {
  if (black_ || frame.Empty() || frame.width != width_ || frame.height != height_) return;
  history_.Record(frame);
  Buffer* buffer = FreeBuffer();
  if (buffer == nullptr) {
    auto third = std::make_unique<Buffer>();
    third->owner = this;
    if (!third->Make(client_.Shm(), width_, height_)) return;
    buffers_.push_back(std::move(third));
    buffer = buffers_.back().get();
  }
  history_.Bring(frame, buffer->held, PixelFormat{}, buffer->pixels, buffer->stride, &rows_);
  buffer->held = history_.Latest();
  ScreenRect painted{};
  if (overlay_ != nullptr) {
    painted = ClippedTo(overlay_->Place(width_, height_), width_, height_);
    // The frame's pixels there first, whatever the buffer showed before.
    const PixelConverter converter{PixelFormat{}};
    for (int y = painted.y; y < painted.y + painted.height; ++y) {
      converter.ConvertRun(frame.Pixel(painted.x, y), painted.width,
                           buffer->pixels + static_cast<std::ptrdiff_t>(y) * buffer->stride + 4 * painted.x);
    }
    overlay_->Paint(buffer->pixels, buffer->stride, painted);
  }
  ApplyScale();
  wl_surface_attach(surface_, buffer->buffer, 0, 0);
  // The compositor's copy differs from the frame before only where this
  // frame changed it.
  if (wl_surface_get_version(surface_) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION &&
      history_.LatestRows(height_, &rows_)) {
    for (const ScreenRect& band : ChangedBands(rows_)) {
      wl_surface_damage_buffer(surface_, band.x, band.y, band.width, band.height);
    }
    if (painted.width > 0) wl_surface_damage_buffer(surface_, painted.x, painted.y, painted.width, painted.height);
  } else {
    wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  }
  static const wl_callback_listener listener = {FrameDone};
  frameCallback_ = wl_surface_frame(surface_);
  wl_callback_add_listener(frameCallback_, &listener, this);
  wl_surface_commit(surface_);
  buffer->busy = true;
}

void ShmSurface::Released(void* data, wl_buffer*) {
  auto* buffer = static_cast<Buffer*>(data);
  buffer->busy = false;
  if (!buffer->stale) return;
  auto& list = buffer->owner->buffers_;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->get() == buffer) {
      list.erase(it);
      return;
    }
  }
}

void ShmSurface::FrameDone(void* data, wl_callback* callback, std::uint32_t) {
  auto* self = static_cast<ShmSurface*>(data);
  wl_callback_destroy(callback);
  if (self->frameCallback_ == callback) self->frameCallback_ = nullptr;
}

}  // namespace kivo
