#include "tests/reference/reference_renderer.h"

#include <algorithm>
#include <cmath>

namespace kivo::reference {

void Image::Create(int w, int h) {
  width = w;
  height = h;
  bgr.assign(static_cast<std::size_t>(w) * h * 3, 0);
}

bool Image::Get(int x, int y, int* r, int* g, int* b) const {
  if (!Inside(x, y)) return false;
  const std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
  *b = p[0];
  *g = p[1];
  *r = p[2];
  return true;
}

void Image::Add(int x, int y, int r, int g, int b) {
  if (!Inside(x, y)) return;
  std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
  const int add[3] = {b, g, r};
  for (int i = 0; i < 3; ++i) p[i] = static_cast<std::uint8_t>(p[i] + add[i] >= 255 ? 255 : p[i] + add[i]);
}

void AddFilledCircle(Image& image, int cx, int cy, int radius, int r, int g, int b) {
  if (radius <= 0) {
    image.Add(cx, cy, r, g, b);
    return;
  }
  std::vector<bool> drawn(static_cast<std::size_t>(2 * radius + 1), false);
  auto visit = [&](int row, int half) {
    const int index = row - (cy - radius);
    if (drawn[static_cast<std::size_t>(index)]) return;
    drawn[static_cast<std::size_t>(index)] = true;
    for (int x = cx - half; x <= cx + half; ++x) image.Add(x, row, r, g, b);
  };
  int k = radius, m = 0, gg = 2 * radius - 1, h = 1, o = 2 * radius - 3;
  for (;;) {
    visit(cy + k, m);
    visit(cy - k, m);
    visit(cy + m, k);
    visit(cy - m, k);
    const int e = gg - h;
    if (e > 0) {
      gg = e;
    } else {
      gg = e + o;
      o -= 2;
      --k;
      if (m >= k) break;
    }
    h += 2;
    ++m;
  }
}

void AddTexturedSpan(Image& dest, int x1, int x2, int y, const Image& tex, int sA, int tA, int sB, int tB) {
  int r = 0, g = 0, b = 0;
  if (x1 == x2) {
    if (tex.Get(sA, tA, &r, &g, &b) && (r > 0 || g > 0 || b > 0)) dest.Add(x1, y, r, g, b);
    return;
  }
  const int lo = x1 < x2 ? x1 : x2;
  const int hi = x1 < x2 ? x2 : x1;
  for (int x = lo; x <= hi; ++x) {
    const int s = sA + ((x - x1) * (sB - sA)) / (x2 - x1);
    const int t = tA + ((x - x1) * (tB - tA)) / (x2 - x1);
    if (!tex.Get(s, t, &r, &g, &b)) r = g = b = 0;
    if (r > 0 || g > 0 || b > 0) dest.Add(x, y, r, g, b);
  }
}

void AddTexturedQuad(Image& dest, const int p[8], const Image& tex, const int t[8]) {
  const int ymax = std::max({p[1], p[3], p[5], p[7]});
  for (int y = std::min({p[1], p[3], p[5], p[7]}); y <= ymax; ++y) {
    if (y < 0 || y >= dest.height) continue;
    int left = 2147483647, right = -2147483647, ls = 0, lt = 0, rs = 0, rt = 0;
    for (int a = 0; a < 4; ++a) {
      const int bi = (a + 1) % 4;
      const int xa = p[2 * a], ya = p[2 * a + 1], xb = p[2 * bi], yb = p[2 * bi + 1];
      if (ya == yb || (y - ya) * (y - yb) > 0) continue;
      const int x = xa + ((xb - xa) * (y - ya)) / (yb - ya);
      const int da = std::abs(y - ya), db = std::abs(y - yb);
      const int s = (t[2 * a] * db + t[2 * bi] * da) / (da + db);
      const int tt = (t[2 * a + 1] * db + t[2 * bi + 1] * da) / (da + db);
      if (x < left) left = x, ls = s, lt = tt;
      if (x > right) right = x, rs = s, rt = tt;
    }
    if (left <= right) AddTexturedSpan(dest, left, right, y, tex, ls, lt, rs, rt);
  }
}

void BuildSprite(Image& sprite, double r, double g, double b) {
  sprite.Create(65, 65);
  for (int i = -32; i <= 32; ++i)
    for (int j = -32; j <= 32; ++j) {
      const double d = std::sqrt(static_cast<double>(j) * j + static_cast<double>(i) * i);
      if (!(d < 32)) continue;
      const double c = d * 0.03125;
      const double e = (1 - c * c) * (1 - c * c);
      std::uint8_t* px = &sprite.bgr[(static_cast<std::size_t>(32 + i) * 65 + 32 + j) * 3];
      px[0] = static_cast<std::uint8_t>(static_cast<int>(e * b));
      px[1] = static_cast<std::uint8_t>(static_cast<int>(e * g));
      px[2] = static_cast<std::uint8_t>(static_cast<int>(e * r));
    }
}

Scene::Scene(std::uint32_t seed, int width, int height, int count)
    : state_(seed), width_(width), height_(height), flakes_(static_cast<std::size_t>(count < 0 ? 0 : count)) {
  const double tints[7][3] = {{255, 255, 255}, {230, 230, 255}, {230, 255, 230}, {230, 255, 255},
                              {255, 230, 230}, {255, 230, 255}, {255, 255, 230}};
  for (int i = 0; i < 7; ++i) BuildSprite(sprites_[i], tints[i][0], tints[i][1], tints[i][2]);
  for (Flake& f : flakes_) Spawn(f);
  frame_.Create(width, height);
}

// state = state * 214013 + 2531011 (mod 2^32); bits 16..30 over 32768.
double Scene::Uniform() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<double>((state_ >> 16) & 0x7FFFu) / 32768.0;
}

// One draw per field, in this order.
void Scene::Spawn(Flake& f) {
  const double w = width_, h = height_;
  f.x = (Uniform() - 0.5) * w * 2.5;
  f.z = Uniform() * 1000 + 10;
  f.y = -(h * f.z * 0.001) - Uniform() * h * 0.5;
  f.vx = (Uniform() - 0.5) * w * 0.001;
  f.vy = Uniform() * h * 0.001 + 3;
  f.vz = -(Uniform() * 70) - 1;
}

void Scene::Step() {
  frame_.Create(width_, height_);
  const double cx = width_ * 0.5, cy = height_ * 0.5;
  for (Flake& f : flakes_) {
    f.x += f.vx;
    f.y += f.vy;
    f.z += f.vz;
    if (f.z < 5) Spawn(f);
    const double k = 500 / f.z;
    const double sx = k * f.x + cx;
    const double sy = k * f.y + cy;
    const double sx1 = k * (f.x + 1) + cx;
    const int r = static_cast<int>(std::fabs(sx1 - sx));
    if (Uniform() < 0.1) {
      f.vx = (Uniform() - 0.5) * width_ * 0.001;
      f.vy = Uniform() * height_ * 0.001 + 3;
    }
    if (height_ + r < sy) Spawn(f);
    if (sx < r) Spawn(f);
    if (width_ + r < sx) Spawn(f);
    const int x = static_cast<int>(sx), y = static_cast<int>(sy);
    if (r <= 2) {
      AddFilledCircle(frame_, x, y, r, 128, 128, 128);
    } else {
      const int p[8] = {x - r, y - r, x + r, y - r, x + r, y + r, x - r, y + r};
      const int t[8] = {0, 0, 64, 0, 64, 64, 0, 64};
      const int k7 = static_cast<int>(7 * Uniform());
      AddTexturedQuad(frame_, p, sprites_[k7], t);
    }
  }
}

}  // namespace kivo::reference
