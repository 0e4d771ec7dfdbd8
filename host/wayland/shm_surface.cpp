#include "host/wayland/shm_surface.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <chrono>
#include <cmath>
#include <cstring>

namespace kivo {
namespace {

ScreenRect ClippedTo(const ScreenRect& r, int width, int height) {
  const int left = std::max(r.x, 0), top = std::max(r.y, 0);
  const int right = std::min(r.x + r.width, width), bottom = std::min(r.y + r.height, height);
  return right > left && bottom > top ? ScreenRect{left, top, right - left, bottom - top} : ScreenRect{};
}

double MillisecondsSince(ShmSurface::Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(ShmSurface::Clock::now() - start).count();
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
  std::uint32_t generation = 0;  // counts the frames copied into it
  ScreenRect overlaid{};         // where the overlay was painted over its frame

  ~Buffer() {
    if (buffer != nullptr) wl_buffer_destroy(buffer);
    if (pixels != nullptr) munmap(pixels, bytes);
  }

  // Shared memory of width x height pixels the compositor can read; null
  // when the system has none to give.
  static std::unique_ptr<Buffer> Make(ShmSurface* owner, wl_shm* shm, int width, int height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const std::size_t size = stride * static_cast<std::size_t>(height);
    if (width <= 0 || height <= 0 || size > INT32_MAX) return nullptr;
    const int fd = memfd_create("kivo-frame", MFD_CLOEXEC);
    if (fd < 0) return nullptr;
    void* mapped = ftruncate(fd, static_cast<off_t>(size)) == 0
                       ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                       : MAP_FAILED;
    std::unique_ptr<Buffer> made;
    if (mapped != MAP_FAILED) {
      made = std::make_unique<Buffer>();
      made->owner = owner;
      made->pixels = static_cast<std::uint8_t*>(mapped);
      made->bytes = size;
      made->stride = static_cast<int>(stride);
      wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size));
      made->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, made->stride, WL_SHM_FORMAT_XRGB8888);
      wl_shm_pool_destroy(pool);
      static const wl_buffer_listener listener = {Released};
      wl_buffer_add_listener(made->buffer, &listener, made.get());
    }
    close(fd);
    return made;
  }
};

ShmSurface::ShmSurface(const WaylandClient& client, std::function<void()> changed)
    : client_(client),
      changed_(std::move(changed)),
      pool_([this](int width, int height) { return Buffer::Make(this, client_.Shm(), width, height); }) {
  surface_ = wl_compositor_create_surface(client.Compositor());
  // Filled by name: newer libwayland versions add members for events of
  // later versions, which are never sent at the version bound here.
  static const wl_surface_listener surfaceListener = [] {
    wl_surface_listener l{};
    l.enter = [](void* data, wl_surface*, wl_output* output) {
      auto* self = static_cast<ShmSurface*>(data);
      self->outputs_.push_back(output);
      if (self->changed_) self->changed_();
    };
    l.leave = [](void* data, wl_surface*, wl_output* output) {
      auto* self = static_cast<ShmSurface*>(data);
      auto& list = self->outputs_;
      for (auto it = list.begin(); it != list.end(); ++it) {
        if (*it == output) {
          list.erase(it);
          break;
        }
      }
      if (self->changed_) self->changed_();
    };
    return l;
  }();
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
  pool_ = BufferPool<Buffer>(nullptr);
  if (fractional_ != nullptr) wp_fractional_scale_v1_destroy(fractional_);
  if (viewport_ != nullptr) wp_viewport_destroy(viewport_);
  wl_surface_destroy(surface_);
}

void ShmSurface::SetLogicalSize(int width, int height) {
  logicalWidth_ = width;
  logicalHeight_ = height;
}

void ShmSurface::Configure(std::uint32_t serial, int width, int height) {
  SetLogicalSize(width, height);
  configureSerial_ = serial;  // acknowledging the latest takes in the ones before it
  acknowledgeDue_ = true;
}

bool ShmSurface::AcknowledgeFor(int width, int height) {
  // A role waiting for its first configure takes no buffer at all.
  if (!Configured()) return false;
  if (!acknowledgeDue_) return true;
  if (width != PixelWidth() || height != PixelHeight()) return false;
  if (acknowledge_) acknowledge_(configureSerial_);
  acknowledgeDue_ = false;
  return true;
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
  if (mode_ == Mode::kFrames && width == width_ && height == height_) return true;
  // Buffers the compositor still holds go when it gives them back.
  waiting_ = FrameView{};
  lent_ = nullptr;
  width_ = width;
  height_ = height;
  unshown_.Forget();
  if (!pool_.Resize(width, height)) {
    ShowBlack();
    return false;
  }
  mode_ = Mode::kFrames;
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
  if (wl_surface_get_version(surface_) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION) {
    wl_surface_set_buffer_scale(surface_, fractional ? 1 : integerScale_);
  }
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
  mode_ = Mode::kBlack;
  if (viewport_ == nullptr) return;
  std::unique_ptr<Buffer> pixel = Buffer::Make(this, client_.Shm(), 1, 1);
  if (pixel == nullptr) return;
  // Stretched to the logical size, whatever the configure asked.
  AcknowledgeFor(PixelWidth(), PixelHeight());
  if (wl_surface_get_version(surface_) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION) wl_surface_set_buffer_scale(surface_, 1);
  wp_viewport_set_destination(viewport_, logicalWidth_, logicalHeight_);
  appliedScale_ = 0;
  wl_surface_attach(surface_, pixel->buffer, 0, 0);
  wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_commit(surface_);
  pool_.AddRetired(std::move(pixel));
}

bool ShmSurface::Blank() {
  if (viewport_ == nullptr) return false;
  ShowBlack();
  return true;
}

bool ShmSurface::Hidden(Clock::time_point now) const { return pacer_.Hidden(now); }

FrameTarget ShmSurface::Target() {
  const FrameTarget own{FrameLayout::kTopDownXrgb32};
  if (mode_ != Mode::kFrames) return own;
  if (lent_ == nullptr) lent_ = pool_.Acquire();
  if (lent_ == nullptr) return own;
  // The overlay is black again before the scene draws: the buffer then
  // holds the scene's last frame there but for what that frame drew under
  // the overlay, which the scene clears anyway.
  const ScreenRect& r = lent_->overlaid;
  for (int y = r.y; y < r.y + r.height; ++y) {
    std::memset(lent_->pixels + static_cast<std::ptrdiff_t>(y) * lent_->stride + 4 * r.x, 0,
                4 * static_cast<std::size_t>(r.width));
  }
  lent_->overlaid = ScreenRect{};
  return FrameTarget{FrameLayout::kTopDownXrgb32, lent_->pixels, lent_->stride, lent_->generation};
}

void ShmSurface::Show(const FrameView& frame) {
  if (mode_ != Mode::kFrames || frame.Empty() || frame.width != width_ || frame.height != height_) return;
  history_.Record(frame);
  unshown_.Add(frame.damage, height_);
  waiting_ = frame;
  if (!pacer_.Waiting()) Present();
}

// Draws the waiting frame into a free buffer and commits it.
void ShmSurface::Present() {
  if (waiting_.Empty() || !AcknowledgeFor(width_, height_)) return;
  const auto start = Clock::now();
  const FrameView& frame = waiting_;
  const bool inPlace = lent_ != nullptr && frame.topRow == lent_->pixels;
  Buffer* buffer = lent_;
  if (!inPlace) {
    // Drawn elsewhere: a free buffer gets the frame's pixels.
    buffer = pool_.Acquire();
    if (buffer == nullptr) return;  // it waits for a buffer the compositor gives back
    history_.BringUpToDate(frame, pool_.FrameOf(buffer), PixelFormat{}, buffer->pixels, buffer->stride, &rows_);
    ++buffer->generation;  // no longer what the scene last drew there
  }
  ScreenRect painted{};
  if (overlay_ != nullptr) {
    painted = ClippedTo(overlay_->Place(width_, height_), width_, height_);
    // The frame's pixels there first, whatever the buffer showed before
    // (drawn in place, they are there already).
    const PixelConverter converter{PixelFormat{}, frame.layout};
    for (int y = painted.y; !inPlace && y < painted.y + painted.height; ++y) {
      converter.ConvertRun(frame.Pixel(painted.x, y), painted.width,
                           buffer->pixels + static_cast<std::ptrdiff_t>(y) * buffer->stride + 4 * painted.x);
    }
    // The prompt is painted over the buffer's frame: covered pixels of it
    // are lost, and painted over again before the buffer is lent again.
    overlay_->Paint(buffer->pixels, buffer->stride, painted);
    buffer->overlaid = painted;
  }
  const auto copyStart = Clock::now();
  convertMs_ += std::chrono::duration<double, std::milli>(copyStart - start).count();
  ApplyScale();
  wl_surface_attach(surface_, buffer->buffer, 0, 0);
  // The compositor's copy lacks every change since the frame it has,
  // whether or not the frames between were shown.
  if (wl_surface_get_version(surface_) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION && !unshown_.Whole()) {
    for (const ScreenRect& band : ChangedBands(unshown_.Rows())) {
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
  pool_.Hold(buffer, history_.Latest());
  if (buffer == lent_) lent_ = nullptr;
  pacer_.Committed(Clock::now());
  unshown_.Shown(frame.damage, height_);
  waiting_ = FrameView{};
  copyMs_ += MillisecondsSince(copyStart);
}

double ShmSurface::TakeConvertMilliseconds() {
  const double ms = convertMs_;
  convertMs_ = 0;
  return ms;
}

double ShmSurface::TakeCopyMilliseconds() {
  const double ms = copyMs_;
  copyMs_ = 0;
  return ms;
}

void ShmSurface::Released(void* data, wl_buffer*) {
  auto* buffer = static_cast<Buffer*>(data);
  ShmSurface* self = buffer->owner;
  self->pool_.Release(buffer);  // may destroy it
  if (!self->pacer_.Waiting()) self->Present();
}

void ShmSurface::FrameDone(void* data, wl_callback* callback, std::uint32_t) {
  auto* self = static_cast<ShmSurface*>(data);
  wl_callback_destroy(callback);
  if (self->frameCallback_ != callback) return;
  self->frameCallback_ = nullptr;
  self->pacer_.FrameDone();
  self->Present();
}

}  // namespace kivo
