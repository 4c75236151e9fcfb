// Fonts and text: faces matched by fontconfig, glyphs rendered by FreeType, ANSI text converted
// by the ANSI code page. Characters the matched face lacks come from a CJK face, as Windows
// links fonts.
#include "gdi_private.h"
#include "../kernel/nls_internal.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

namespace rkgdi {
namespace {

// ---- FreeType and fontconfig ----

FT_Library library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l)) l = nullptr;
    FcInit();
    // Fontconfig keeps its caches until it is finalised.
    std::atexit([] { FcFini(); });
    return l;
  }();
  return lib;
}

FT_Face openFace(const std::string& file, int index) {
  static std::map<std::pair<std::string, int>, FT_Face> faces;
  auto key = std::make_pair(file, index);
  auto it = faces.find(key);
  if (it != faces.end()) return it->second;
  FT_Face f = nullptr;
  if (!library() || FT_New_Face(library(), file.c_str(), index, &f)) f = nullptr;
  if (f && !FT_IS_SCALABLE(f)) {
    FT_Done_Face(f);
    f = nullptr;
  }
  faces[key] = f;
  return f;
}

struct Match {
  FT_Face face = nullptr;
  bool bold = false;    // emboldened by synthesis
  bool italic = false;  // slanted by synthesis
};

std::string utf8(const std::u32string& s) {
  std::string o;
  for (char32_t c : s) {
    if (c < 0x80)
      o += char(c);
    else if (c < 0x800) {
      o += char(0xC0 | (c >> 6));
      o += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      o += char(0xE0 | (c >> 12));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    } else {
      o += char(0xF0 | (c >> 18));
      o += char(0x80 | ((c >> 12) & 0x3F));
      o += char(0x80 | ((c >> 6) & 0x3F));
      o += char(0x80 | (c & 0x3F));
    }
  }
  return o;
}

Match fcMatch(const std::string& familyUtf8, const char* lang, int weight, bool italic) {
  Match res;
  if (!library()) return res;
  FcPattern* p = FcPatternCreate();
  if (!familyUtf8.empty()) FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(familyUtf8.c_str()));
  if (lang) FcPatternAddString(p, FC_LANG, reinterpret_cast<const FcChar8*>(lang));
  FcPatternAddInteger(p, FC_WEIGHT, FcWeightFromOpenType(weight > 0 ? weight : FW_NORMAL));
  FcPatternAddInteger(p, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(p, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, p, FcMatchPattern);
  FcDefaultSubstitute(p);
  FcResult r = FcResultNoMatch;
  FcPattern* m = FcFontMatch(nullptr, p, &r);
  if (m) {
    FcChar8* file = nullptr;
    int index = 0, w = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    if (FcPatternGetString(m, FC_FILE, 0, &file) == FcResultMatch) {
      FcPatternGetInteger(m, FC_INDEX, 0, &index);
      FcPatternGetInteger(m, FC_WEIGHT, 0, &w);
      FcPatternGetInteger(m, FC_SLANT, 0, &slant);
      res.face = openFace(reinterpret_cast<const char*>(file), index);
      res.bold = weight >= 600 && w < FC_WEIGHT_DEMIBOLD;
      res.italic = italic && slant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(m);
  }
  FcPatternDestroy(p);
  return res;
}

// The face behind a logical font. Windows' own names of its standard faces stand for the
// host's sans-serif face.
Match matchFont(const LOGFONTA& lf) {
  static std::map<std::tuple<std::string, int, bool>, Match> cache;
  std::string name(lf.lfFaceName, strnlen(lf.lfFaceName, LF_FACESIZE));
  auto key = std::make_tuple(name, int(lf.lfWeight), lf.lfItalic != 0);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  std::string family = utf8(ansiToUnicode(name.data(), int(name.size())));
  static const char* const generic[] = {"System", "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif"};
  for (const char* g : generic)
    if (strcasecmp(family.c_str(), g) == 0) family = "sans-serif";
  Match m = fcMatch(family, nullptr, lf.lfWeight, lf.lfItalic != 0);
  cache[key] = m;
  return m;
}

Match cjkFace(int weight) {
  static std::map<bool, Match> cache;
  bool bold = weight >= 600;
  auto it = cache.find(bold);
  if (it != cache.end()) return it->second;
  Match m = fcMatch("", "zh-cn", bold ? FW_BOLD : FW_NORMAL, false);
  cache[bold] = m;
  return m;
}

// A font realised at a size: its faces, the FreeType size request and the cell metrics.
struct Realised {
  Match prim, cjk;
  FT_F26Dot6 ppemX = 0, ppemY = 0;  // 26.6 pixels per em
  int height = 0, ascent = 0, descent = 0, internalLeading = 0;
  int aveWidth = 0, maxWidth = 0;
  int underlinePos = 0, underlineThick = 1;  // below the baseline
  int strikePos = 0;                         // above the baseline
  bool underline = false, strike = false;
  int weight = FW_NORMAL;
  bool italic = false;
};

void faceAscDesc(FT_Face f, double& asc, double& desc) {
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
    asc = os2->usWinAscent;
    desc = os2->usWinDescent;
  } else {
    asc = f->ascender;
    desc = -f->descender;
  }
  if (asc + desc <= 0) {
    asc = f->units_per_EM * 0.8;
    desc = f->units_per_EM * 0.2;
  }
}

bool realise(const LOGFONTA& lf, Realised& r) {
  r.prim = matchFont(lf);
  if (!r.prim.face) return false;
  r.cjk = cjkFace(lf.lfWeight);
  FT_Face f = r.prim.face;
  double upem = f->units_per_EM ? f->units_per_EM : 2048, asc, desc;
  faceAscDesc(f, asc, desc);
  double ppem;
  int h = lf.lfHeight;
  if (h == 0) h = 16;  // the default cell height
  if (h > 0) {
    // A cell height: ascent plus descent fill it.
    ppem = h * upem / (asc + desc);
    r.height = h;
    r.ascent = int(std::lround(asc * ppem / upem));
    r.descent = h - r.ascent;
  } else {
    // A character height: the em square.
    ppem = -double(h);
    r.ascent = int(std::lround(asc * ppem / upem));
    r.descent = int(std::lround(desc * ppem / upem));
    r.height = r.ascent + r.descent;
  }
  r.internalLeading = std::max(0, r.height - int(std::lround(ppem)));
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  double avgUnits = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
  double ppemX = ppem;
  if (lf.lfWidth != 0) ppemX = std::abs(lf.lfWidth) * upem / avgUnits;
  r.ppemY = FT_F26Dot6(std::lround(ppem * 64));
  r.ppemX = FT_F26Dot6(std::lround(ppemX * 64));
  r.aveWidth = std::max(1, int(std::lround(avgUnits * ppemX / upem)));
  r.maxWidth = std::max(r.aveWidth, int(std::lround(f->max_advance_width * ppemX / upem)));
  r.underlineThick = std::max(1, int(std::lround(f->underline_thickness * ppem / upem)));
  r.underlinePos = std::max(1, int(std::lround(-f->underline_position * ppem / upem)));
  r.strikePos = std::max(1, int(std::lround(r.ascent * 0.3)));
  r.underline = lf.lfUnderline != 0;
  r.strike = lf.lfStrikeOut != 0;
  r.weight = lf.lfWeight > 0 ? lf.lfWeight : FW_NORMAL;
  r.italic = lf.lfItalic != 0;
  return true;
}

// ---- glyph cache ----

struct Glyph {
  int advance = 0;
  int left = 0, top = 0, w = 0, h = 0;
  std::vector<uint8_t> cov;
};

using GlyphKey = std::tuple<FT_Face, FT_F26Dot6, FT_F26Dot6, bool, bool, FT_UInt>;

const Glyph& glyphOf(const Realised& r, char32_t c) {
  static std::map<GlyphKey, Glyph> cache;
  const Match* m = &r.prim;
  FT_UInt idx = FT_Get_Char_Index(r.prim.face, c);
  if (idx == 0 && r.cjk.face) {
    FT_UInt j = FT_Get_Char_Index(r.cjk.face, c);
    if (j) {
      m = &r.cjk;
      idx = j;
    }
  }
  bool bold = m == &r.prim ? r.prim.bold : r.weight >= 600 && r.cjk.bold;
  bool italic = m == &r.prim ? r.prim.italic : r.italic;
  GlyphKey key{m->face, r.ppemX, r.ppemY, bold, italic, idx};
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  if (cache.size() > 20000) cache.clear();
  Glyph& g = cache[key];
  FT_Face f = m->face;
  if (FT_Set_Char_Size(f, r.ppemX, r.ppemY, 72, 72) || FT_Load_Glyph(f, idx, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP))
    return g;
  if (bold) FT_GlyphSlot_Embolden(f->glyph);
  if (italic) FT_GlyphSlot_Oblique(f->glyph);
  g.advance = int((f->glyph->advance.x + 32) >> 6);
  if (FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL)) return g;
  const FT_Bitmap& b = f->glyph->bitmap;
  g.left = f->glyph->bitmap_left;
  g.top = f->glyph->bitmap_top;
  g.w = int(b.width);
  g.h = int(b.rows);
  g.cov.resize(size_t(g.w) * g.h);
  for (int y = 0; y < g.h; ++y) {
    const uint8_t* row = b.buffer + (b.pitch >= 0 ? ptrdiff_t(y) * b.pitch : ptrdiff_t(g.h - 1 - y) * -b.pitch);
    if (b.pixel_mode == FT_PIXEL_MODE_GRAY) {
      std::memcpy(&g.cov[size_t(y) * g.w], row, size_t(g.w));
    } else if (b.pixel_mode == FT_PIXEL_MODE_MONO) {
      for (int x = 0; x < g.w; ++x) g.cov[size_t(y) * g.w + x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    }
  }
  return g;
}

const LOGFONTA& fontOf(DC* dc) { return (dc->st.font ? dc->st.font : stockFont())->lf; }

}  // namespace

std::u32string ansiToUnicode(const char* s, int len) {
  std::u32string out;
  if (!s || len <= 0) return out;
  int n = MultiByteToWideChar(CP_ACP, 0, s, len, nullptr, 0);
  if (n <= 0) return out;
  std::u16string w(size_t(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, s, len, reinterpret_cast<LPWSTR>(&w[0]), n);
  for (size_t i = 0; i < w.size(); ++i) {
    char32_t c = w[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
      ++i;
    }
    out += c;
  }
  return out;
}

bool fontMetrics(DC* dc, TEXTMETRICA* tm) {
  Realised r;
  if (!realise(fontOf(dc), r)) return false;
  *tm = TEXTMETRICA{};
  tm->tmHeight = r.height;
  tm->tmAscent = r.ascent;
  tm->tmDescent = r.descent;
  tm->tmInternalLeading = r.internalLeading;
  tm->tmExternalLeading = 0;
  tm->tmAveCharWidth = r.aveWidth;
  tm->tmMaxCharWidth = r.maxWidth;
  tm->tmWeight = r.weight;
  tm->tmOverhang = 0;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = 0x20;
  tm->tmItalic = r.italic ? 0xFF : 0;
  tm->tmUnderlined = r.underline ? 0xFF : 0;
  tm->tmStruckOut = r.strike ? 0xFF : 0;
  tm->tmPitchAndFamily = 0x07;  // variable pitch, vector, TrueType
  tm->tmCharSet = rkwin_acp() == 936 ? GB2312_CHARSET : ANSI_CHARSET;
  return true;
}

bool measureText(DC* dc, const std::u32string& text, std::vector<int>* advances, SIZE* size) {
  Realised r;
  if (!realise(fontOf(dc), r)) return false;
  LONG cx = 0;
  if (advances) advances->clear();
  for (char32_t c : text) {
    int a = glyphOf(r, c).advance;
    cx += a;
    if (advances) advances->push_back(a);
  }
  if (size) *size = SIZE{cx, r.height};
  return true;
}

bool drawText(DC* dc, int x, int y, const std::u32string& text, COLORREF color, const RECT* clip, int underlineAt,
              bool opaque) {
  Realised r;
  if (!realise(fontOf(dc), r)) return false;
  Target t;
  if (!targetOf(dc, t)) return true;
  if (clip) {
    t.cl = std::max(t.cl, int(clip->left) + t.ox);
    t.ct = std::max(t.ct, int(clip->top) + t.oy);
    t.cr = std::min(t.cr, int(clip->right) + t.ox);
    t.cb = std::min(t.cb, int(clip->bottom) + t.oy);
  }
  if (t.empty()) return true;
  uint32_t px = pixelOf(color);
  int total = 0;
  std::vector<int> adv;
  for (char32_t c : text) {
    adv.push_back(glyphOf(r, c).advance);
    total += adv.back();
  }
  if (opaque) {
    uint32_t bk = pixelOf(dc->st.bkColor);
    for (int j = 0; j < r.height; ++j) span(t, y + j, x, x + total, bk);
  }
  int base = y + r.ascent;
  int pen = x;
  for (size_t i = 0; i < text.size(); ++i) {
    const Glyph& g = glyphOf(r, text[i]);
    int gx = pen + g.left, gy = base - g.top;
    for (int j = 0; j < g.h; ++j)
      for (int k = 0; k < g.w; ++k) blendPixel(t, gx + k, gy + j, px, g.cov[size_t(j) * g.w + k]);
    if (int(i) == underlineAt)
      for (int j = 0; j < r.underlineThick; ++j) span(t, base + r.underlinePos + j, pen, pen + adv[i], px);
    pen += adv[i];
  }
  if (r.underline)
    for (int j = 0; j < r.underlineThick; ++j) span(t, base + r.underlinePos + j, x, x + total, px);
  if (r.strike)
    for (int j = 0; j < r.underlineThick; ++j) span(t, base - r.strikePos + j, x, x + total, px);
  return true;
}

}  // namespace rkgdi

using namespace rkgdi;

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
  DC* dc = lookupDC(hdc);
  if (!dc || c < 0 || (!lpString && c > 0)) return FALSE;
  if (c == 0) return TRUE;
  return drawText(dc, x, y, ansiToUnicode(lpString, c), dc->st.textColor, nullptr, -1, dc->st.bkMode == OPAQUE) ? TRUE
                                                                                                                : FALSE;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
  DC* dc = lookupDC(hdc);
  if (!dc || !psizl || c < 0 || (!lpString && c > 0)) return FALSE;
  return measureText(dc, ansiToUnicode(lpString, c), nullptr, psizl) ? TRUE : FALSE;
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm) {
  DC* dc = lookupDC(hdc);
  if (!dc || !lptm) return FALSE;
  return fontMetrics(dc, lptm) ? TRUE : FALSE;
}

int WINAPI GetTextFaceA(HDC hdc, int c, LPSTR lpName) {
  DC* dc = lookupDC(hdc);
  if (!dc) return 0;
  const LOGFONTA& lf = dc->st.font ? dc->st.font->lf : stockFont()->lf;
  size_t n = strnlen(lf.lfFaceName, LF_FACESIZE);
  std::string name(lf.lfFaceName, n);
  if (name.empty()) {
    // No face asked for: the name of the face fontconfig chose.
    Match m = matchFont(lf);
    if (m.face && m.face->family_name) name = m.face->family_name;
  }
  if (!lpName) return int(name.size() + 1);
  if (c <= 0) return 0;
  size_t k = std::min(name.size(), size_t(c - 1));
  std::memcpy(lpName, name.data(), k);
  lpName[k] = 0;
  return int(k + 1);
}
