// A straightforward rendering of the snow, kept only for the tests and the
// benchmarks: its own random numbers, its own spawning, every drawing
// operation pixel by pixel through guarded accessors, exactly as the
// operations are described, with no fast path and nothing taken from the
// product. The product's frames must be the same bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace kivo::reference {

// Top-down rows, blue-green-red pixels, no padding.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgr;

  void Create(int w, int h);
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  bool Get(int x, int y, int* r, int* g, int* b) const;
  void Add(int x, int y, int r, int g, int b);
};

void AddFilledCircle(Image& image, int cx, int cy, int radius, int r, int g, int b);
void AddTexturedSpan(Image& dest, int x1, int x2, int y, const Image& tex, int sA, int tA, int sB, int tB);
void AddTexturedQuad(Image& dest, const int p[8], const Image& tex, const int t[8]);
void BuildSprite(Image& sprite, double r, double g, double b);

// The whole frame step, one flake at a time, in the plainest terms.
class Scene {
 public:
  Scene(std::uint32_t seed, int width, int height, int count);
  void Step();
  const Image& Frame() const { return frame_; }

 private:
  struct Flake {
    double x, y, z, vx, vy, vz;
  };
  double Uniform();
  void Spawn(Flake& f);

  std::uint32_t state_;
  int width_;
  int height_;
  std::vector<Flake> flakes_;
  Image sprites_[7];
  Image frame_;
};

}  // namespace kivo::reference
