// kivo-reference-render W H COUNT SEED FRAMES OUT.bmp: the straightforward
// rendering the tests compare with (tests/reference), as a whole program, so
// that kivo-render's whole process can be timed against it
// (bench/against_reference.sh). Writes the same BMP kivo-render writes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tests/reference/reference_renderer.h"

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: kivo-reference-render W H COUNT SEED FRAMES OUT.bmp\n");
    return 2;
  }
  const int width = std::atoi(argv[1]), height = std::atoi(argv[2]);
  kivo::reference::Scene scene(static_cast<std::uint32_t>(std::strtoul(argv[4], nullptr, 10)), width, height,
                               std::atoi(argv[3]));
  for (int i = std::atoi(argv[5]); i > 0; --i) scene.Step();
  // A bottom-up 24-bit BMP, rows padded to 4 bytes.
  const int stride = (width * 3 + 3) / 4 * 4;
  const std::uint32_t pixels = static_cast<std::uint32_t>(stride) * static_cast<std::uint32_t>(height);
  std::vector<std::uint8_t> file(54 + pixels, 0);
  auto put = [&file](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) file[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put(2, 54 + pixels, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(38, 1, 4);
  put(42, 1, 4);
  const kivo::reference::Image& frame = scene.Frame();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = &frame.bgr[static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) * 3];
    std::copy(row, row + width * 3, file.begin() + 54 + static_cast<std::ptrdiff_t>(y) * stride);
  }
  std::FILE* out = std::fopen(argv[6], "wb");
  if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fclose(out) != 0) return 1;
  return 0;
}
