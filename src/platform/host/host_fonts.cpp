// Fonts as the device sizes them: a logical height is the character cell
// (ascent plus descent), a logical width the average character width. Faces
// are found with fontconfig, so a missing face falls back to its best match.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <string>

#include "platform/host/host_internal.h"

namespace nimbora {

struct HostFont {
  FT_Face face;
  int logicalHeight;
  int cellHeight;
  int ascent;
};

namespace {

// The device's system font, used until a font is selected.
constexpr const char* kDefaultFace = "Tahoma";
constexpr int kDefaultCellHeight = 16;

FT_Library Library() {
  static FT_Library library = nullptr;
  if (library == nullptr && FT_Init_FreeType(&library) != 0) library = nullptr;
  return library;
}

// Kept for the whole run, so the font lists are read once.
FcConfig* FontConfig() {
  static FcConfig* config = FcInitLoadConfigAndFonts();
  return config;
}

bool FindFaceFile(const std::string& family, int weight, bool italic, std::string* file,
                  int* index) {
  if (FontConfig() == nullptr) return false;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight == 0 ? 400 : weight));
  FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(FontConfig(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(FontConfig(), pattern, &result);
  FcPatternDestroy(pattern);
  FcChar8* path = nullptr;
  bool found = match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  if (found) {
    *file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
  }
  if (match != nullptr) FcPatternDestroy(match);
  return found;
}

struct FaceMetrics {
  double ascent, descent, averageWidth, unitsPerEm;  // in font units
};

FaceMetrics MetricsOf(FT_Face face) {
  FaceMetrics metrics{static_cast<double>(face->ascender), -static_cast<double>(face->descender),
                      face->units_per_EM / 2.0, static_cast<double>(face->units_per_EM)};
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    metrics.ascent = os2->usWinAscent;
    metrics.descent = os2->usWinDescent;
  }
  if (os2 != nullptr && os2->xAvgCharWidth > 0) metrics.averageWidth = os2->xAvgCharWidth;
  return metrics;
}

// Sets the face's size from the logical height and width; returns the em
// height in pixels.
double SizeFace(FT_Face face, const FaceMetrics& metrics, int height, int width) {
  double cell = metrics.ascent + metrics.descent;
  double emHeight = height > 0   ? height * metrics.unitsPerEm / cell
                    : height < 0 ? -height
                                 : kDefaultCellHeight * metrics.unitsPerEm / cell;
  double emWidth =
      width > 0 ? std::abs(width) * metrics.unitsPerEm / metrics.averageWidth : emHeight;
  FT_Set_Char_Size(face, std::lround(emWidth * 64), std::lround(emHeight * 64), 72, 72);
  return emHeight;
}

HostFont* OpenFont(const std::string& family, const LogicalFont* logical) {
  std::string file;
  int index = 0;
  FT_Face face = nullptr;
  if (Library() == nullptr ||
      !FindFaceFile(family, logical->weight, logical->italic != 0, &file, &index) ||
      FT_New_Face(Library(), file.c_str(), index, &face) != 0) {
    return nullptr;
  }
  FaceMetrics metrics = MetricsOf(face);
  double emHeight = SizeFace(face, metrics, logical->height, logical->width);
  double scale = emHeight / metrics.unitsPerEm;
  int ascent = static_cast<int>(std::lround(metrics.ascent * scale));
  int cell = logical->height > 0 ? logical->height
                                 : ascent + static_cast<int>(std::lround(metrics.descent * scale));
  return new HostFont{face, logical->height, cell, ascent};
}

// Gives the advance of the glyph in whole pixels, rendering it when asked.
int LoadGlyph(FT_Face face, char32_t character, bool render) {
  FT_UInt glyph = FT_Get_Char_Index(face, character);
  if (FT_Load_Glyph(face, glyph, render ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) != 0) return 0;
  return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

// Reads one character of UTF-16 text, joining a surrogate pair.
char32_t NextCharacter(const char16_t* text, int length, int* position) {
  char32_t first = text[(*position)++];
  if (first >= 0xD800 && first < 0xDC00 && *position < length) {
    char32_t second = text[*position];
    if (second >= 0xDC00 && second < 0xE000) {
      ++*position;
      return 0x10000 + ((first - 0xD800) << 10) + (second - 0xDC00);
    }
  }
  return first;
}

void BlitGlyph(const FT_GlyphSlot slot, int penX, int baseline, const Rect& clip, uint32_t rgb) {
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    int y = baseline - slot->bitmap_top + static_cast<int>(row);
    if (y < clip.top || y >= clip.bottom) continue;
    const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
    for (unsigned column = 0; column < bitmap.width; ++column) {
      int x = penX + slot->bitmap_left + static_cast<int>(column);
      if (x >= clip.left && x < clip.right && line[column] != 0) {
        BlendScreenPixel(x, y, rgb, line[column]);
      }
    }
  }
}

}  // namespace

HostFont* OpenHostFont(const LogicalFont* font) {
  int length = 0;  // the record's name need not be terminated
  while (length < kFaceNameCapacity && font->faceName[length] != 0) ++length;
  return OpenFont(Utf8Of(font->faceName, length), font);
}

HostFont* DefaultHostFont() {
  static HostFont* font = nullptr;
  if (font == nullptr) {
    LogicalFont logical{};
    logical.height = kDefaultCellHeight;
    font = OpenFont(kDefaultFace, &logical);
    if (font != nullptr) font->logicalHeight = 0;
  }
  return font;
}

void CloseHostFont(HostFont* font) {
  FT_Done_Face(font->face);
  delete font;
}

int HostFontLogicalHeight(const HostFont* font) {
  return font == nullptr ? 0 : font->logicalHeight;
}
int HostFontCellHeight(const HostFont* font) { return font == nullptr ? 0 : font->cellHeight; }

int MeasureHostText(HostFont* font, const char16_t* text, int length) {
  if (font == nullptr) return 0;
  int width = 0;
  for (int position = 0; position < length;) {
    width += LoadGlyph(font->face, NextCharacter(text, length, &position), false);
  }
  return width;
}

void RenderHostText(HostFont* font, const char16_t* text, int length, int x, int top,
                    const Rect& clip, uint32_t rgb) {
  if (font == nullptr) return;
  int baseline = top + font->ascent;
  for (int position = 0; position < length;) {
    int advance = LoadGlyph(font->face, NextCharacter(text, length, &position), true);
    BlitGlyph(font->face->glyph, x, baseline, clip, rgb);
    x += advance;
  }
}

}  // namespace nimbora

// Fontconfig keeps part of its parsed configuration until the process ends;
// sanitized builds are told not to report that as a leak. Unused otherwise.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
