// Writes a natural-looking RGB test picture as a binary PPM: a plasma fractal (midpoint
// displacement) per channel, mixed between the channels, with fine noise on top, so that a
// wavelet coder meets the mix of smooth areas, edges and texture of a photograph. The result
// depends only on the size and the seed.
// Usage: j2kpicture OUTPUT.ppm [WIDTH HEIGHT [SEED]]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct rng {
  uint64_t s;
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return (uint32_t)(s >> 11);
  }
  // Uniform in -1..1.
  double unit() { return (next() & 0xFFFFFF) / (double)0x800000 - 1.0; }
};

// Diamond-square fractal on a (2^k + 1)-square grid covering w x h, values roughly 0..1.
std::vector<float> plasma(int w, int h, rng& r, double roughness) {
  int n = 1;
  while (n + 1 < std::max(w, h)) n <<= 1;
  int side = n + 1;
  std::vector<float> g((size_t)side * side, 0.5f);
  auto at = [&](int y, int x) -> float& { return g[(size_t)y * side + x]; };
  for (int y = 0; y <= n; y += n)
    for (int x = 0; x <= n; x += n) at(y, x) = (float)(0.5 + 0.4 * r.unit());
  double amp = 0.5;
  for (int step = n; step > 1; step /= 2, amp *= roughness) {
    int half = step / 2;
    for (int y = half; y < side; y += step)
      for (int x = half; x < side; x += step)
        at(y, x) = (float)((at(y - half, x - half) + at(y - half, x + half) + at(y + half, x - half) +
                            at(y + half, x + half)) /
                               4 +
                           amp * r.unit());
    for (int y = 0; y < side; y += half)
      for (int x = (y / half % 2 == 0) ? half : 0; x < side; x += step) {
        double sum = 0;
        int cnt = 0;
        if (y >= half) sum += at(y - half, x), cnt++;
        if (y + half < side) sum += at(y + half, x), cnt++;
        if (x >= half) sum += at(y, x - half), cnt++;
        if (x + half < side) sum += at(y, x + half), cnt++;
        at(y, x) = (float)(sum / cnt + amp * r.unit());
      }
  }
  std::vector<float> out((size_t)w * h);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) out[(size_t)y * w + x] = at(y, x);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: j2kpicture OUTPUT.ppm [WIDTH HEIGHT [SEED]]\n");
    return 2;
  }
  int w = argc > 3 ? std::atoi(argv[2]) : 4000, h = argc > 3 ? std::atoi(argv[3]) : 3000;
  rng r{argc > 4 ? (uint64_t)std::strtoull(argv[4], nullptr, 10) * 2654435761u + 1 : 88172645463325252ull};
  if (w <= 0 || h <= 0) return 2;
  std::vector<float> p[3];
  for (auto& c : p) c = plasma(w, h, r, 0.55);
  FILE* f = std::fopen(argv[1], "wb");
  if (!f) return 1;
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  std::vector<uint8_t> row((size_t)w * 3);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      size_t i = (size_t)y * w + x;
      double a = p[0][i], b = p[1][i], c = p[2][i];
      // Channels share most of their structure, as the colours of a photograph do.
      double rgb[3] = {0.7 * a + 0.3 * b, 0.6 * a + 0.4 * c, 0.5 * a + 0.25 * b + 0.25 * c};
      for (int k = 0; k < 3; k++) {
        double v = rgb[k] * 255.0 + 3.0 * r.unit();
        row[(size_t)x * 3 + k] = (uint8_t)std::lround(std::min(255.0, std::max(0.0, v)));
      }
    }
    if (std::fwrite(row.data(), 1, row.size(), f) != row.size()) return 1;
  }
  return std::fclose(f) == 0 ? 0 : 1;
}
