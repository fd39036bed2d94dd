// The panel's screen: a 32-bit framebuffer, device contexts with fonts and
// brushes, text drawn in a rectangle, and the screen written as PNG.
//
// Fonts are sized as the device sizes them: a logical height is the
// character cell (ascent plus descent), a logical width the average
// character width. Faces are found with fontconfig, so a missing face falls
// back to its best match; fontconfig and FreeType are set up only when text
// is first measured or drawn, and each face is matched once per session
// (or taken from the matches kept across runs).
#include "host_internal.h"

#include <png.h>
#include FT_TRUETYPE_TABLES_H
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/utf8.h"
#include "base/wide_string.h"

namespace nimbora {

namespace {

constexpr Colour kDefaultTextColour = 0;          // black, as a fresh device context
constexpr int kBackgroundOpaque = 2;              // a fresh device context's mode
constexpr uint32_t kOpaqueBackground = 0xFFFFFF;  // and its white behind text
// The device's system font, used until a font is selected.
constexpr const char* kDefaultFace = "Tahoma";
constexpr int kDefaultCellHeight = 16;
constexpr int kNormalWeight = 400;

// ---- Framebuffer


unsigned Mix(unsigned from, unsigned to, unsigned coverage) {
  return (from * (255 - coverage) + to * coverage + 127) / 255;
}

void BlendScreenPixel(int x, int y, uint32_t rgb, unsigned coverage) {
  if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return;
  uint32_t& pixel = hostSession->pixels[y * kScreenWidth + x];
  uint32_t blended = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    blended |= Mix((pixel >> shift) & 0xFF, (rgb >> shift) & 0xFF, coverage) << shift;
  }
  pixel = blended;
}

Rect Intersection(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const Rect& rect) { return rect.left >= rect.right || rect.top >= rect.bottom; }

constexpr Rect kWholeScreen{0, 0, kScreenWidth, kScreenHeight};

// Widens the painted region to take in rect, cut to the screen.
void MarkPainted(const Rect& rect) {
  Rect added = Intersection(rect, kWholeScreen);
  if (IsEmpty(added)) return;
  Rect& painted = hostSession->painted;
  painted = IsEmpty(painted) ? added
                             : Rect{std::min(painted.left, added.left), std::min(painted.top, added.top),
                                    std::max(painted.right, added.right),
                                    std::max(painted.bottom, added.bottom)};
}

void AddTextSinceScreen(const Rect& drawn) {
  if (IsEmpty(drawn)) return;
  Rect& since = hostSession->textSinceScreen;
  since = IsEmpty(since) ? drawn
                         : Rect{std::min(since.left, drawn.left), std::min(since.top, drawn.top),
                                std::max(since.right, drawn.right), std::max(since.bottom, drawn.bottom)};
}

void FillPixels(const Rect& rect, uint32_t rgb) {
  // One row by hand, the rest copied from it.
  uint32_t* first = hostSession->pixels.get() + rect.top * kScreenWidth + rect.left;
  size_t width = static_cast<size_t>(rect.right - rect.left);
  std::fill_n(first, width, rgb);
  for (int y = rect.top + 1; y < rect.bottom; ++y) {
    std::memcpy(first + (y - rect.top) * kScreenWidth, first, width * sizeof *first);
  }
}

// ---- Fonts

FT_Library FontLibrary() {
  if (hostSession->fontLibrary == nullptr && FT_Init_FreeType(&hostSession->fontLibrary) != 0) {
    hostSession->fontLibrary = nullptr;
  }
  return hostSession->fontLibrary;
}

}  // namespace

bool IsLoadableFont(const char* path) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return false;
  FT_Face face = nullptr;
  bool loaded = FT_New_Face(library, path, 0, &face) == 0;
  if (loaded) FT_Done_Face(face);
  FT_Done_FreeType(library);
  return loaded;
}

namespace {

FcConfig* FontConfig() {
  if (hostSession->fontConfig == nullptr) hostSession->fontConfig = FcInitLoadConfigAndFonts();
  return hostSession->fontConfig;
}

// The fontFile option stands in for every face a program names.
bool MatchFontFile(FaceMatch* match) {
  FT_Face face = nullptr;
  if (FontLibrary() == nullptr ||
      FT_New_Face(FontLibrary(), hostSession->fontFile.c_str(), 0, &face) != 0) {
    return false;
  }
  match->file = hostSession->fontFile;
  match->family = face->family_name == nullptr ? "" : face->family_name;
  FT_Done_Face(face);
  return true;
}

bool MatchSystemFont(FaceMatch* match) {
  FcConfig* config = FontConfig();
  if (config == nullptr) return false;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(match->name.c_str()));
  FcPatternAddInteger(pattern, FC_WEIGHT,
                      FcWeightFromOpenType(match->weight == 0 ? kNormalWeight : match->weight));
  FcPatternAddInteger(pattern, FC_SLANT, match->italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  FcChar8* file = nullptr;
  FcChar8* family = nullptr;
  bool matched = found != nullptr && FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch;
  if (matched) {
    match->file = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(found, FC_INDEX, 0, &match->index) != FcResultMatch) match->index = 0;
    if (FcPatternGetString(found, FC_FAMILY, 0, &family) == FcResultMatch) {
      match->family = reinterpret_cast<const char*>(family);
    }
    match->substitute = strcasecmp(match->family.c_str(), match->name.c_str()) != 0;
  }
  if (found != nullptr) FcPatternDestroy(found);
  return matched;
}

// The file that draws a face, matched once per session; nullptr when none.
const FaceMatch* MatchFace(const std::string& name, int weight, bool italic, bool named) {
  bool byFontFile = named && !hostSession->fontFile.empty();
  if (!byFontFile) LoadFontMatches(hostSession);
  for (const FaceMatch& match : hostSession->faceMatches) {
    if (match.name == name && match.weight == weight && match.italic == italic &&
        match.byFontFile == byFontFile) {
      return match.file.empty() ? nullptr : &match;
    }
  }
  FaceMatch match{name, weight, italic, byFontFile, "", 0, "", false};
  if (!(byFontFile ? MatchFontFile(&match) : MatchSystemFont(&match))) match.file.clear();
  hostSession->faceMatches.push_back(match);
  return match.file.empty() ? nullptr : &hostSession->faceMatches.back();
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

// Under a fixed advance nothing is loaded: the cell is the logical height.
HostFont* OpenFixedFont(const std::string& name, const LogicalFont* logical) {
  int cell = logical->height > 0 ? logical->height
             : logical->height < 0 ? -logical->height
                                   : kDefaultCellHeight;
  return new HostFont{nullptr, logical->height, cell, cell, name, false, *logical};
}

// named: a face the program asked for, rather than the default font.
HostFont* OpenFont(const std::string& name, const LogicalFont* logical, bool named) {
  if (hostSession->fixedFontAdvance > 0) return OpenFixedFont(name, logical);
  const FaceMatch* match = MatchFace(name, logical->weight, logical->italic != 0, named);
  FT_Face face = nullptr;
  if (match == nullptr ||
      FT_New_Face(FontLibrary(), match->file.c_str(), match->index, &face) != 0) {
    return nullptr;
  }
  FaceMetrics metrics = MetricsOf(face);
  double emHeight = SizeFace(face, metrics, logical->height, logical->width);
  double scale = emHeight / metrics.unitsPerEm;
  int ascent = static_cast<int>(std::lround(metrics.ascent * scale));
  int cell = logical->height > 0 ? logical->height
                                 : ascent + static_cast<int>(std::lround(metrics.descent * scale));
  return new HostFont{face, logical->height, cell, ascent, name, match->substitute, *logical};
}

void CloseFont(HostFont* font) {
  if (font != nullptr && font->face != nullptr) FT_Done_Face(font->face);
  delete font;
}

// What a fresh device context has selected, opened when first used.
HostFont* SelectedFont(const Surface* surface) {
  DrawObject* object = surface->font;
  if (object == &hostSession->defaultFont && object->font == nullptr) {
    LogicalFont logical{};
    logical.height = kDefaultCellHeight;
    object->font = OpenFont(kDefaultFace, &logical, false);
    if (object->font != nullptr) object->font->logicalHeight = 0;
  }
  return object->font;
}

// Gives the advance of the glyph in whole pixels, rendering it when asked.
int LoadGlyph(FT_Face face, char32_t character, bool render) {
  FT_UInt glyph = FT_Get_Char_Index(face, character);
  if (FT_Load_Glyph(face, glyph, render ? FT_LOAD_RENDER : FT_LOAD_DEFAULT) != 0) return 0;
  return static_cast<int>((face->glyph->advance.x + 32) >> 6);
}

// Reads one character of UTF-16 text, joining a surrogate pair.
char32_t NextCharacter(const char16_t* text, int length, int* position) {
  char16_t first = text[(*position)++];
  if (IsHighSurrogate(first) && *position < length && IsLowSurrogate(text[*position])) {
    return JoinSurrogates(first, text[(*position)++]);
  }
  return first;
}

int Advance(HostFont* font, char32_t character, bool render) {
  if (font->face == nullptr) return hostSession->fixedFontAdvance;
  return LoadGlyph(font->face, character, render);
}

int MeasureText(HostFont* font, const char16_t* text, int length) {
  if (font == nullptr) return 0;
  int width = 0;
  for (int position = 0; position < length;) {
    width += Advance(font, NextCharacter(text, length, &position), false);
  }
  return width;
}

void BlitGlyph(const FT_GlyphSlot slot, int penX, int baseline, const Rect& clip, uint32_t rgb) {
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return;
  int left = penX + slot->bitmap_left;
  int top = baseline - slot->bitmap_top;
  MarkPainted(Intersection(clip, Rect{left, top, left + static_cast<int>(bitmap.width),
                                      top + static_cast<int>(bitmap.rows)}));
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

// A fixed-advance character is a block over its cell but the last column;
// blanks stay empty.
void DrawBlock(HostFont* font, char32_t character, int x, int top, const Rect& clip,
               uint32_t rgb) {
  if (character <= u' ') return;
  int advance = hostSession->fixedFontAdvance;
  FillScreenRect(Intersection(clip, Rect{x, top, x + advance - 1, top + font->cellHeight}), rgb);
}

// Draws with the baseline at top + ascent, touching only pixels inside clip.
void RenderText(HostFont* font, const char16_t* text, int length, int x, int top,
                const Rect& clip, uint32_t rgb) {
  if (font == nullptr) return;
  for (int position = 0; position < length;) {
    char32_t character = NextCharacter(text, length, &position);
    int advance = Advance(font, character, true);
    if (font->face == nullptr) {
      DrawBlock(font, character, x, top, clip, rgb);
    } else {
      BlitGlyph(font->face->glyph, x, top + font->ascent, clip, rgb);
    }
    x += advance;
  }
}

int AlignedLeft(const Rect& rect, int width, uint32_t format) {
  if (format & kAlignCenter) return (rect.left + rect.right - width) / 2;
  if (format & kAlignRight) return rect.right - width;
  return rect.left;
}

bool IsCut(const Rect& rect, const Rect& box) {
  return box.left < rect.left || box.right > rect.right || box.bottom > rect.bottom;
}

void LogText(const char16_t* text, int length, const Rect& rect, uint32_t format,
             const HostFont* font, const Rect& box) {
  bool cut = IsCut(rect, box);
  LogEvent(
      "\"op\":\"text\",\"text\":%s,\"rect\":[%d,%d,%d,%d],\"format\":%u,\"font\":%d,"
      "\"face\":%s,\"width\":%d,\"cut\":%s,\"substitute\":%s",
      JsonString(Utf8Of(text, length)).c_str(), rect.left, rect.top, rect.right, rect.bottom,
      format, font == nullptr ? 0 : font->logicalHeight,
      JsonString(font == nullptr ? "" : font->faceName).c_str(), box.right - box.left,
      cut ? "true" : "false", font != nullptr && font->substitute ? "true" : "false");
}

// ---- PNG

void ToRgbRow(const uint32_t* pixels, png_byte* row) {
  for (int x = 0; x < kScreenWidth; ++x) {
    row[3 * x] = static_cast<png_byte>(pixels[x] >> 16);
    row[3 * x + 1] = static_cast<png_byte>(pixels[x] >> 8);
    row[3 * x + 2] = static_cast<png_byte>(pixels[x]);
  }
}

// Kept free of objects with destructors: libpng reports errors by longjmp.
bool WriteRows(FILE* file, const uint32_t* pixels, png_byte* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, kScreenWidth, kScreenHeight, 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < kScreenHeight; ++y) {
    ToRgbRow(pixels + y * kScreenWidth, row);
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// ---- Drawing objects

bool IsLiveObject(const DrawObject* object) {
  const std::vector<DrawObject*>& objects = hostSession->objects;
  return std::find(objects.begin(), objects.end(), object) != objects.end();
}

DrawObject* NewObject(DrawObject object) {
  hostSession->objects.push_back(new DrawObject(object));
  return hostSession->objects.back();
}

template <typename T>
void Forget(std::vector<T*>* list, T* item) {
  list->erase(std::find(list->begin(), list->end(), item));
}

}  // namespace

uint32_t RgbOf(Colour colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

const uint32_t* HostScreenPixels() {
  return hostSession == nullptr ? nullptr : hostSession->pixels.get();
}

void FillScreenRect(const Rect& rect, uint32_t rgb) {
  Rect area = Intersection(rect, kWholeScreen);
  if (IsEmpty(area)) return;
  bool whole = area.left == 0 && area.top == 0 && area.right == kScreenWidth &&
               area.bottom == kScreenHeight;
  if (!whole) {
    MarkPainted(area);
    return FillPixels(area, rgb);
  }
  // Every screen change starts with a clear of the whole screen.
  if (rgb == hostSession->ground) area = hostSession->painted;
  hostSession->ground = rgb;
  hostSession->painted = Rect{};
  if (!IsEmpty(area)) FillPixels(area, rgb);
}

bool WriteScreenPng(const char* path) {
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = WriteRows(file, hostSession->pixels.get(), hostSession->pngRow);
  return fclose(file) == 0 && written;
}

void ReleaseScreen(HostSession* session) {
  for (Surface* surface : session->surfaces) delete surface;
  for (DrawObject* object : session->objects) {
    CloseFont(object->font);
    delete object;
  }
  CloseFont(session->defaultFont.font);
  if (session->fontLibrary != nullptr) FT_Done_FreeType(session->fontLibrary);
  if (session->fontConfig != nullptr) FcConfigDestroy(session->fontConfig);
  session->surfaces.clear();
  session->objects.clear();
  session->defaultFont.font = nullptr;
  session->fontLibrary = nullptr;
  session->fontConfig = nullptr;
}

int HostLiveDrawingResources() {
  if (hostSession == nullptr) return 0;
  return static_cast<int>(hostSession->surfaces.size() + hostSession->objects.size());
}

bool HostFontUsed(const char* face, HostFontUse* use) {
  if (hostSession == nullptr || hostSession->fixedFontAdvance > 0) return false;
  const FaceMatch* match = MatchFace(face, kNormalWeight, false, true);
  if (match == nullptr) return false;
  *use = HostFontUse{match->file.c_str(), match->family.c_str(), match->substitute};
  return true;
}

DrawObject* StockObject(int id) {
  if (hostSession == nullptr || id != kStockBlackBrush) return nullptr;
  hostSession->blackBrush = DrawObject{ObjectKind::Brush, true, 0, 0, nullptr};
  return &hostSession->blackBrush;
}

Surface* GetWindowSurface(Window* window) {
  if (window == nullptr || window != TheWindow()) return nullptr;
  DrawObject* font = &hostSession->defaultFont;
  font->kind = ObjectKind::Font;
  font->stock = true;
  ++font->selections;
  hostSession->surfaces.push_back(new Surface{window, font, kDefaultTextColour, kBackgroundOpaque});
  return hostSession->surfaces.back();
}

void ReleaseWindowSurface(Window*, Surface* surface) {
  if (surface == nullptr) return;
  --surface->font->selections;
  Forget(&hostSession->surfaces, surface);
  delete surface;
}

DrawObject* CreateFontFrom(const LogicalFont* font) {
  if (hostSession == nullptr || font == nullptr) return nullptr;
  int length = 0;  // the record's name need not be terminated
  while (length < kFaceNameCapacity && font->faceName[length] != 0) ++length;
  HostFont* hostFont = OpenFont(Utf8Of(font->faceName, length), font, true);
  return hostFont == nullptr ? nullptr : NewObject({ObjectKind::Font, false, 0, 0, hostFont});
}

DrawObject* CreateSolidBrushOf(Colour colour) {
  if (hostSession == nullptr) return nullptr;
  return NewObject({ObjectKind::Brush, false, 0, colour, nullptr});
}

// The Updater selects only fonts; brushes are handed to the fill directly.
DrawObject* SelectIntoSurface(Surface* surface, DrawObject* object) {
  if (surface == nullptr || object == nullptr || object->kind != ObjectKind::Font) return nullptr;
  DrawObject* replaced = surface->font;
  --replaced->selections;
  ++object->selections;
  surface->font = object;
  return replaced;
}

// Like the device, an object still selected into a device context is not
// deleted; the failure shows up as a live resource.
int DeleteDrawObject(DrawObject* object) {
  if (object == nullptr || object->selections > 0) return 0;
  if (object->stock) return 1;
  if (!IsLiveObject(object)) return 0;
  CloseFont(object->font);
  Forget(&hostSession->objects, object);
  delete object;
  return 1;
}

void SetSurfaceTextColour(Surface* surface, Colour colour) {
  if (surface != nullptr) surface->textColour = colour;
}

void SetSurfaceBackgroundMode(Surface* surface, int mode) {
  if (surface != nullptr) surface->backgroundMode = mode;
}

void FillWithBrush(Surface* surface, const Rect* rect, DrawObject* brush) {
  if (surface == nullptr || rect == nullptr || brush == nullptr ||
      brush->kind != ObjectKind::Brush) {
    return;
  }
  LogEvent("\"op\":\"fill\",\"rect\":[%d,%d,%d,%d]", rect->left, rect->top, rect->right,
           rect->bottom);
  if (!IsEmpty(Intersection(*rect, hostSession->textSinceScreen))) WriteNextScreen();
  FillScreenRect(*rect, RgbOf(brush->colour));
}

// One line from the top edge, aligned left, centred or right, clipped to the
// rectangle; or only measured.
int DrawTextInRect(Surface* surface, const char16_t* text, int length, Rect* rect,
                   uint32_t format) {
  if (surface == nullptr || text == nullptr || rect == nullptr) return 0;
  if (length < 0) length = WideLength(text);
  HostFont* font = SelectedFont(surface);
  int width = MeasureText(font, text, length);
  int height = font == nullptr ? 0 : font->cellHeight;
  if (format & kCalculateRect) {
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return height;
  }
  int left = AlignedLeft(*rect, width, format);
  Rect box{left, rect->top, left + width, rect->top + height};
  LogText(text, length, *rect, format, font, box);
  bool named = surface->font != &hostSession->defaultFont && font != nullptr;
  DrawnTextReport report{text, length, *rect, format, named ? &font->logical : nullptr,
                         IsCut(*rect, box)};
  ReportDrawnText(&report);
  AddTextSinceScreen(Intersection(*rect, box));
  if (surface->backgroundMode == kBackgroundOpaque) {
    FillScreenRect(Intersection(*rect, box), kOpaqueBackground);
  }
  RenderText(font, text, length, left, rect->top, *rect, RgbOf(surface->textColour));
  return height;
}

}  // namespace nimbora

// ---- Font matches kept across runs ----
//
// Font matches kept across runs. Setting up fontconfig reads dozens of
// configuration files, which costs more than the rest of a short run; the
// faces a run asks for are nearly always the ones the last run asked for.
//
// The cache file holds the modification times of everything fontconfig
// built its answer from (font directories, configuration files and their
// directories, the user's configuration directory) and, per face, the font
// file with its own time and size. Any difference drops the whole cache or
// that face, and the face is matched afresh: a stale cache never draws with
// another file than fontconfig would choose, nor with a missing one.

namespace nimbora {

namespace {

constexpr const char* kHeader = "nimbora font matches 1";

// A file's modification time and size as one text; "-" when it is missing.
std::string StampOf(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return "-";
  return std::to_string(status.st_mtim.tv_sec) + "." + std::to_string(status.st_mtim.tv_nsec) +
         "." + std::to_string(status.st_size);
}

std::string Environment(const char* name) {
  const char* value = getenv(name);
  return value == nullptr ? "" : value;
}

// The settings that choose the configuration, which no file time shows.
std::string EnvironmentKey() {
  return "env " + Environment("FONTCONFIG_FILE") + "|" + Environment("FONTCONFIG_PATH") + "|" +
         Environment("FONTCONFIG_SYSROOT") + "|" + Environment("HOME") + "|" +
         Environment("XDG_CONFIG_HOME");
}

std::string UserConfigDirectory() {
  std::string base = Environment("XDG_CONFIG_HOME");
  if (base.empty()) base = Environment("HOME") + "/.config";
  return base + "/fontconfig";
}

void AddPaths(FcStrList* list, std::vector<std::string>* paths, bool withParents) {
  if (list == nullptr) return;
  while (FcChar8* path = FcStrListNext(list)) {
    std::string text = reinterpret_cast<const char*>(path);
    paths->push_back(text);
    if (withParents) paths->push_back(text.substr(0, text.rfind('/')));
  }
  FcStrListDone(list);
}

std::vector<std::string> WatchedPaths(FcConfig* config) {
  std::vector<std::string> paths{UserConfigDirectory()};
  AddPaths(FcConfigGetFontDirs(config), &paths, false);
  AddPaths(FcConfigGetConfigFiles(config), &paths, true);
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

bool Storable(const std::string& text) { return text.find_first_of("\t\n") == std::string::npos; }

// "match WEIGHT ITALIC INDEX SUBSTITUTE STAMP\tNAME\tFILE\tFAMILY"
bool ParseMatch(const std::string& line, FaceMatch* match) {
  char stamp[96];
  int italic = 0, substitute = 0;
  size_t name = line.find('\t');
  size_t file = line.find('\t', name + 1);
  size_t family = line.find('\t', file + 1);
  if (family == std::string::npos ||
      sscanf(line.c_str(), "match %d %d %d %d %95s", &match->weight, &italic, &match->index,
             &substitute, stamp) != 5) {
    return false;
  }
  match->name = line.substr(name + 1, file - name - 1);
  match->file = line.substr(file + 1, family - file - 1);
  match->family = line.substr(family + 1);
  match->italic = italic != 0;
  match->substitute = substitute != 0;
  match->byFontFile = false;
  return StampOf(match->file) == stamp;
}

void MakeParentDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    mkdir(path.substr(0, slash).c_str(), 0700);
  }
}

}  // namespace

void LoadFontMatches(HostSession* session) {
  if (session->fontCacheRead || session->fontCachePath.empty()) return;
  session->fontCacheRead = true;
  FILE* file = fopen(session->fontCachePath.c_str(), "r");
  if (file == nullptr) return;
  std::vector<FaceMatch> matches;
  bool valid = true;
  char* line = nullptr;
  size_t capacity = 0;
  for (int number = 0; valid && getline(&line, &capacity, file) > 0; ++number) {
    std::string text(line, strcspn(line, "\n"));
    FaceMatch match{};
    if (number == 0) {
      valid = text == kHeader;
    } else if (number == 1) {
      valid = text == EnvironmentKey();
    } else if (text.compare(0, 6, "stamp ") == 0) {
      size_t blank = text.find(' ', 6);
      valid = blank != std::string::npos &&
              StampOf(text.substr(blank + 1)) == text.substr(6, blank - 6);
    } else if (ParseMatch(text, &match)) {
      matches.push_back(match);
    }
  }
  free(line);
  fclose(file);
  if (valid) {
    session->faceMatches.insert(session->faceMatches.end(), matches.begin(), matches.end());
  }
}

// Only a session that asked fontconfig itself has something new to keep.
// Written whole and renamed into place, so a run reading at the same time
// sees the old cache or the new one.
void SaveFontMatches(HostSession* session) {
  if (session->fontConfig == nullptr || session->fontCachePath.empty()) return;
  std::string temporary = session->fontCachePath + ".XXXXXX";
  MakeParentDirectories(temporary);
  int descriptor = mkstemp(&temporary[0]);
  FILE* file = descriptor < 0 ? nullptr : fdopen(descriptor, "w");
  if (file == nullptr) {
    if (descriptor >= 0) close(descriptor);
    return;
  }
  fprintf(file, "%s\n%s\n", kHeader, EnvironmentKey().c_str());
  for (const std::string& path : WatchedPaths(session->fontConfig)) {
    if (Storable(path)) fprintf(file, "stamp %s %s\n", StampOf(path).c_str(), path.c_str());
  }
  for (const FaceMatch& match : session->faceMatches) {
    if (match.byFontFile || match.file.empty() || !Storable(match.name) ||
        !Storable(match.file) || !Storable(match.family)) {
      continue;
    }
    fprintf(file, "match %d %d %d %d %s\t%s\t%s\t%s\n", match.weight, match.italic ? 1 : 0,
            match.index, match.substitute ? 1 : 0, StampOf(match.file).c_str(),
            match.name.c_str(), match.file.c_str(), match.family.c_str());
  }
  bool written = fclose(file) == 0;
  if (!written || rename(temporary.c_str(), session->fontCachePath.c_str()) != 0) {
    unlink(temporary.c_str());
  }
}

}  // namespace nimbora
