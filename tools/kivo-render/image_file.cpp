#include "tools/kivo-render/image_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef KIVO_HAVE_PNG
#include <png.h>
#endif

namespace kivo {
namespace {

void PutLe16(std::vector<std::uint8_t>* out, std::uint32_t v) {
  out->push_back(static_cast<std::uint8_t>(v));
  out->push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFFu);
  PutLe16(out, v >> 16);
}

// File header (14 bytes), bitmap info header (40 bytes), then the frame's
// block byte for byte: it is already a bottom-up 24-bit DIB.
bool WriteBmp(const FrameView& frame, std::FILE* file) {
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(frame.stride) * static_cast<std::uint32_t>(frame.height);
  std::vector<std::uint8_t> head;
  head.push_back('B');
  head.push_back('M');
  PutLe32(&head, 54 + pixelBytes);
  PutLe32(&head, 0);
  PutLe32(&head, 54);
  PutLe32(&head, 40);  // size of the info header
  PutLe32(&head, static_cast<std::uint32_t>(frame.width));
  PutLe32(&head, static_cast<std::uint32_t>(frame.height));  // positive: bottom-up
  PutLe16(&head, 1);                                           // planes
  PutLe16(&head, 24);                                          // bits per pixel
  PutLe32(&head, 0);                                           // uncompressed
  PutLe32(&head, 0);                                           // image size, implied
  PutLe32(&head, 1);                                           // pixels per metre, x and y
  PutLe32(&head, 1);
  PutLe32(&head, 0);  // palette entries used and important
  PutLe32(&head, 0);
  if (std::fwrite(head.data(), 1, head.size(), file) != head.size()) return false;
  return std::fwrite(frame.bottomRow, 1, pixelBytes, file) == pixelBytes;
}

#ifdef KIVO_HAVE_PNG
// 8-bit RGB, top row first.
bool WritePng(const FrameView& frame, std::FILE* file) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(static_cast<std::size_t>(frame.width) * 3);
  // libpng reports errors by longjmp; nothing with a destructor is created
  // between here and the end of the writes.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(frame.width), static_cast<png_uint_32>(frame.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < frame.height; ++y) {
    const std::uint8_t* src = frame.TopDownRow(y);
    for (int x = 0; x < frame.width; ++x) {
      row[3 * x] = src[3 * x + 2];
      row[3 * x + 1] = src[3 * x + 1];
      row[3 * x + 2] = src[3 * x];
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
#endif

}  // namespace

bool PngSupported() {
#ifdef KIVO_HAVE_PNG
  return true;
#else
  return false;
#endif
}

std::string TempName(const std::string& path) { return path + ".partial"; }

bool CanCreateFile(const std::string& path, std::string* error) {
  const std::string temp = TempName(path);
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::fclose(file);
  std::remove(temp.c_str());
  return true;
}

bool WriteImageFile(const FrameView& frame, const std::string& path, ImageFormat format, std::string* error) {
  if (frame.Empty()) {
    *error = "no picture to write (the frame buffer could not be created)";
    return false;
  }
  if (format == ImageFormat::kPng && !PngSupported()) {
    *error = "this build writes BMP files only; use a .bmp file name";
    return false;
  }
  const std::string temp = TempName(path);
  std::FILE* file = std::fopen(temp.c_str(), "wb");
  if (file == nullptr) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  bool written = false;
  if (format == ImageFormat::kBmp) {
    written = WriteBmp(frame, file);
  } else {
#ifdef KIVO_HAVE_PNG
    written = WritePng(frame, file);
#endif
  }
  const int closed = std::fclose(file);
  if (!written || closed != 0) {
    std::remove(temp.c_str());
    *error = "cannot write '" + path + "': the disk refused the data";
    return false;
  }
#ifdef _WIN32
  std::remove(path.c_str());  // rename() does not replace an existing file here
#endif
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace kivo
