// Writing the screen as an 8-bit RGB PNG file.
#include <png.h>

#include <cstdio>

#include "platform/host/host_internal.h"
#include "platform/host/host_platform.h"

namespace nimbora {

namespace {

void ToRgbRow(const uint32_t* pixels, png_byte* row) {
  for (int x = 0; x < kScreenWidth; ++x) {
    row[3 * x] = static_cast<png_byte>(pixels[x] >> 16);
    row[3 * x + 1] = static_cast<png_byte>(pixels[x] >> 8);
    row[3 * x + 2] = static_cast<png_byte>(pixels[x]);
  }
}

// Kept free of objects with destructors: libpng reports errors by longjmp.
bool WriteRows(FILE* file, png_byte* row) {
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
    ToRgbRow(HostScreenPixels() + y * kScreenWidth, row);
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WriteScreenPng(const char* path) {
  static png_byte row[kScreenWidth * 3];
  FILE* file = fopen(path, "wb");
  if (file == nullptr) return false;
  bool written = WriteRows(file, row);
  return fclose(file) == 0 && written;
}

}  // namespace nimbora
