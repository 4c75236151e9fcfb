// Writes the wizard's pictures as 24-bit BMP files: the welcome and closing pictures (498x312)
// of each language, with their words drawn in, and the page banner (498x58).
// Usage: make_logos <output folder>
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  if (t < 0) t = 0;
  if (t > 1) t = 1;
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class Canvas {
 public:
  Canvas(int width, int height) : w(width), h(height), px(size_t(width) * height, {255, 255, 255}) {}
  void set(int x, int y, Rgb c) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = c;
  }
  Rgb get(int x, int y) const { return px[size_t(y) * w + x]; }
  // Blends a filled, anti-aliased ring (inner radius 0 gives a disc) over the picture.
  void ring(double cx, double cy, double outer, double inner, Rgb c, double alpha) {
    for (int y = int(cy - outer - 1); y <= int(cy + outer + 1); ++y)
      for (int x = int(cx - outer - 1); x <= int(cx + outer + 1); ++x) {
        if (x < 0 || y < 0 || x >= w || y >= h) continue;
        double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        double cover = std::fmin(std::fmax(outer - d + 0.5, 0.0), 1.0);
        if (inner > 0) cover *= std::fmin(std::fmax(d - inner + 0.5, 0.0), 1.0);
        if (cover > 0) set(x, y, mix(get(x, y), c, cover * alpha));
      }
  }
  // Draws lines of ANSI text (GBK; "\n" ends a line) with their top-left at x, y through the
  // graphics layer, anti-aliased over the picture.
  void text(int x, int y, int pixels, bool bold, const char* lines, Rgb color) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint8_t> bits(size_t(w) * h * 4);
    for (size_t i = 0; i < px.size(); ++i) {
      bits[i * 4] = uint8_t(std::lround(px[i].b));
      bits[i * 4 + 1] = uint8_t(std::lround(px[i].g));
      bits[i * 4 + 2] = uint8_t(std::lround(px[i].r));
    }
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    StretchDIBits(dc, 0, 0, w, h, 0, 0, w, h, bits.data(), &bi, DIB_RGB_COLORS, SRCCOPY);
    HFONT font = CreateFontA(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                             0, 0, "WenQuanYi Micro Hei");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(int(color.r), int(color.g), int(color.b)));
    RECT r = {x, y, w, h};
    DrawTextA(dc, lines, -1, &r, DT_NOPREFIX | DT_NOCLIP);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    GetDIBits(dc, bitmap, 0, UINT(h), bits.data(), &bi, DIB_RGB_COLORS);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    for (size_t i = 0; i < px.size(); ++i)
      px[i] = {double(bits[i * 4 + 2]), double(bits[i * 4 + 1]), double(bits[i * 4])};
  }
  bool save(const std::string& path) const {
    int stride = (w * 3 + 3) & ~3;
    uint32_t imageSize = uint32_t(stride) * h;
    std::vector<uint8_t> out(54 + imageSize, 0);
    auto put16 = [&](size_t at, uint32_t v) {
      out[at] = uint8_t(v);
      out[at + 1] = uint8_t(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
      put16(at, v & 0xFFFF);
      put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, uint32_t(out.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(w));
    put32(22, uint32_t(h));
    put16(26, 1);
    put16(28, 24);
    put32(34, imageSize);
    put32(38, 2835);
    put32(42, 2835);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = &out[54 + size_t(h - 1 - y) * stride];
      for (int x = 0; x < w; ++x) {
        Rgb c = get(x, y);
        row[x * 3] = uint8_t(std::lround(c.b));
        row[x * 3 + 1] = uint8_t(std::lround(c.g));
        row[x * 3 + 2] = uint8_t(std::lround(c.r));
      }
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
    return fclose(f) == 0 && ok;
  }
  int w, h;

 private:
  std::vector<Rgb> px;
};

// The product's emblem: a lens of concentric rings.
void emblem(Canvas& c, double cx, double cy, double r, Rgb light) {
  c.ring(cx, cy, r, r - 6, light, 0.95);
  c.ring(cx, cy, r - 12, r - 15, light, 0.6);
  c.ring(cx, cy, r * 0.45, 0, light, 0.85);
  c.ring(cx - r * 0.15, cy - r * 0.15, r * 0.12, 0, {255, 255, 255}, 0.9);
}

// A large picture with a coloured side panel, the emblem on it and a calm white page.
Canvas bigPicture(Rgb top, Rgb bottom) {
  Canvas c(498, 312);
  const int panel = 164;
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) {
      if (x < panel) {
        c.set(x, y, mix(top, bottom, (y + x * 0.3) / (c.h + panel * 0.3)));
      } else {
        double t = double(x - panel) / (c.w - panel);
        c.set(x, y, mix({255, 255, 255}, {236, 242, 248}, t * t));
      }
    }
  for (int i = 0; i < 5; ++i)
    c.ring(panel * 0.2 + i * 30, c.h - 20 - i * 14, 60 - i * 8, 56 - i * 8, {255, 255, 255}, 0.12);
  emblem(c, panel / 2.0, 110, 48, {255, 255, 255});
  for (int y = 0; y < c.h; ++y) c.set(panel, y, {200, 208, 220});
  // A thin accent line across the white page.
  for (int x = panel + 30; x < c.w - 30; ++x)
    c.set(x, 60, mix(bottom, {255, 255, 255}, double(x - panel - 30) / (c.w - panel - 60)));
  return c;
}

// The banner: white, with the emblem at the right end over a soft gradient and a base line.
Canvas banner(Rgb accent) {
  Canvas c(498, 58);
  for (int y = 0; y < c.h; ++y)
    for (int x = 0; x < c.w; ++x) {
      double t = std::fmax(0.0, double(x - 300) / 198.0);
      c.set(x, y, mix({255, 255, 255}, mix(accent, {255, 255, 255}, 0.75), t));
    }
  emblem(c, 464, 29, 22, accent);
  for (int x = 0; x < c.w; ++x) {
    c.set(x, c.h - 2, {160, 160, 160});
    c.set(x, c.h - 1, {255, 255, 255});
  }
  return c;
}

// The words of a large picture: a bold heading above the accent line, the body below it.
Canvas withWords(Canvas c, const char* heading, const char* body) {
  c.text(194, 18, 16, true, heading, {20, 40, 80});
  c.text(194, 78, 12, false, body, {40, 40, 40});
  return c;
}

// GBK texts of the Chinese pictures.
const char* const kWelcomeCn =
    "\xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3 Vantry \xBF\xB4\xCD\xBC\n\xB0\xB2\xD7\xB0\xCF\xF2\xB5\xBC";
const char* const kWelcomeBodyCn =
    "\xB1\xBE\xCF\xF2\xB5\xBC\xBD\xAB\xB0\xD1 Vantry \xBF\xB4\xCD\xBC\xB0\xB2\xD7\xB0\xB5\xBD\xC4\xFA\xB5\xC4"
    "\xBC\xC6\xCB\xE3\xBB\xFA\xC9\xCF\xA1\xA3\n\n"
    "\xBD\xA8\xD2\xE9\xC4\xFA\xD4\xDA\xBC\xCC\xD0\xF8\xD6\xAE\xC7\xB0\xB9\xD8\xB1\xD5\xC6\xE4\xCB\xFB"
    "\xD5\xFD\xD4\xDA\xD4\xCB\xD0\xD0\xB5\xC4\xB3\xCC\xD0\xF2\xA1\xA3\n\n"
    "\xB5\xA5\xBB\xF7\xA1\xB0\xCF\xC2\xD2\xBB\xB2\xBD\xA1\xB1\xBC\xCC\xD0\xF8\xA1\xA3";
const char* const kFinishCn = "Vantry \xBF\xB4\xCD\xBC\n\xB0\xB2\xD7\xB0\xCD\xEA\xB3\xC9";
const char* const kFinishBodyCn =
    "Vantry \xBF\xB4\xCD\xBC\xD2\xD1\xB3\xC9\xB9\xA6\xB0\xB2\xD7\xB0\xB5\xBD\xC4\xFA\xB5\xC4\xBC\xC6"
    "\xCB\xE3\xBB\xFA\xC9\xCF\xA1\xA3\n\n"
    "\xB5\xA5\xBB\xF7\xA1\xB0\xCD\xEA\xB3\xC9\xA1\xB1\xCD\xCB\xB3\xF6\xB0\xB2\xD7\xB0\xCF\xF2\xB5\xBC\xA1\xA3";

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_logos <output folder>\n");
    return 2;
  }
  std::string dir = argv[1];
  const Rgb deep{18, 52, 110}, sea{24, 132, 168}, leaf{30, 120, 80};
  Canvas welcome = bigPicture(deep, sea), finish = bigPicture(sea, leaf);
  bool ok = withWords(welcome, kWelcomeCn, kWelcomeBodyCn).save(dir + "/logo.bmp") &&
            withWords(welcome, "Welcome to the Vantry Viewer\nSetup Wizard",
                      "This wizard will install Vantry Viewer\non your computer.\n\n"
                      "It is recommended that you close all\nother programs before you continue.\n\n"
                      "Click Next to continue.")
                .save(dir + "/logo_en.bmp") &&
            banner(deep).save(dir + "/logo2.bmp") &&
            withWords(finish, kFinishCn, kFinishBodyCn).save(dir + "/logo3.bmp") &&
            withWords(finish, "Completing the Vantry Viewer\nSetup Wizard",
                      "Vantry Viewer has been installed on\nyour computer.\n\nClick Finish to close the wizard.")
                .save(dir + "/logo3_en.bmp");
  if (!ok) fprintf(stderr, "make_logos: cannot write to %s\n", dir.c_str());
  return ok ? 0 : 1;
}
