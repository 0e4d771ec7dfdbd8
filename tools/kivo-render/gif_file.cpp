#include "tools/kivo-render/gif_file.h"

#include <cstdio>
#include <vector>

#ifdef KIVO_HAVE_GIF
#include <fcntl.h>
#include <gif_lib.h>
#endif

namespace kivo {

#ifndef KIVO_HAVE_GIF

bool GifSupported() { return false; }

std::unique_ptr<GifAnimation> GifAnimation::Start(const std::string&, int, int, int, std::string* error) {
  *error = "this build writes no GIF files; use a .bmp file name";
  return nullptr;
}

#else

bool GifSupported() { return true; }

namespace {

class GiflibAnimation : public GifAnimation {
 public:
  GiflibAnimation(std::string path, int width, int height, int delayMs)
      : path_(std::move(path)), temp_(path_ + ".partial"), width_(width), height_(height), delayMs_(delayMs) {}

  ~GiflibAnimation() override {
    if (gif_ != nullptr) {
      int ignored = 0;
      EGifCloseFile(gif_, &ignored);
    }
    if (!finished_) std::remove(temp_.c_str());
  }

  bool Open(std::string* error) {
    // Opened here rather than by giflib, which would make the file private.
    const int fd = open(temp_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) {
      *error = "cannot write '" + path_ + "'";
      return false;
    }
    int code = 0;
    gif_ = EGifOpenFileHandle(fd, &code);
    if (gif_ == nullptr) return Failed(error, code);
    EGifSetGifVersion(gif_, true);  // GIF89a: frame delays and looping
    if (EGifPutScreenDesc(gif_, width_, height_, 8, 0, nullptr) == GIF_ERROR) return Failed(error, gif_->Error);
    // The application extension that makes viewers loop forever.
    const GifByteType netscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const GifByteType loop[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, sizeof netscape, netscape) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, sizeof loop, loop) == GIF_ERROR || EGifPutExtensionTrailer(gif_) == GIF_ERROR) {
      return Failed(error, gif_->Error);
    }
    return true;
  }

  bool AddFrame(const FrameView& frame, std::string* error) override {
    if (frame.Empty() || frame.width != width_ || frame.height != height_) {
      *error = "a frame of another size cannot join the animation";
      return false;
    }
    // giflib's quantiser takes the three channels as separate planes.
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    red_.resize(pixels);
    green_.resize(pixels);
    blue_.resize(pixels);
    indices_.resize(pixels);
    for (int y = 0; y < height_; ++y) {
      const std::uint8_t* src = frame.TopDownRow(y);
      const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
      for (int x = 0; x < width_; ++x) {
        blue_[row + x] = src[3 * x];
        green_[row + x] = src[3 * x + 1];
        red_[row + x] = src[3 * x + 2];
      }
    }
    int colours = 256;
    std::vector<GifColorType> palette(256);
    if (GifQuantizeBuffer(static_cast<unsigned>(width_), static_cast<unsigned>(height_), &colours, red_.data(),
                          green_.data(), blue_.data(), indices_.data(), palette.data()) == GIF_ERROR) {
      *error = "cannot reduce a frame to 256 colours";
      return false;
    }
    ColorMapObject* map = GifMakeMapObject(256, palette.data());
    if (map == nullptr) {
      *error = "out of memory for a GIF palette";
      return false;
    }
    GraphicsControlBlock control{};
    control.DelayTime = delayMs_ / 10;  // in hundredths of a second
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    bool ok = EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_ERROR &&
              EGifPutImageDesc(gif_, 0, 0, width_, height_, false, map) != GIF_ERROR;
    for (int y = 0; ok && y < height_; ++y) {
      ok = EGifPutLine(gif_, indices_.data() + static_cast<std::size_t>(y) * width_, width_) != GIF_ERROR;
    }
    GifFreeMapObject(map);
    return ok || Failed(error, gif_->Error);
  }

  bool Finish(std::string* error) override {
    int code = 0;
    const int closed = EGifCloseFile(gif_, &code);
    gif_ = nullptr;
    if (closed == GIF_ERROR) return Failed(error, code);
#ifdef _WIN32
    std::remove(path_.c_str());
#endif
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
      *error = "cannot write '" + path_ + "'";
      return false;
    }
    finished_ = true;
    return true;
  }

 private:
  bool Failed(std::string* error, int code) {
    const char* text = GifErrorString(code);
    *error = "cannot write '" + path_ + "': " + (text != nullptr ? text : "giflib failed");
    return false;
  }

  std::string path_;
  std::string temp_;
  int width_;
  int height_;
  int delayMs_;
  GifFileType* gif_ = nullptr;
  bool finished_ = false;
  std::vector<GifByteType> red_, green_, blue_, indices_;
};

}  // namespace

std::unique_ptr<GifAnimation> GifAnimation::Start(const std::string& path, int width, int height, int delayMs,
                                                  std::string* error) {
  auto animation = std::make_unique<GiflibAnimation>(path, width, height, delayMs);
  if (!animation->Open(error)) return nullptr;
  return animation;
}

#endif

}  // namespace kivo
