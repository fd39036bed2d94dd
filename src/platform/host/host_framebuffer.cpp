// The panel's 800 x 480 screen as a 32-bit framebuffer.
#include "platform/host/host_internal.h"
#include "platform/host/host_platform.h"

namespace nimbora {

namespace {

uint32_t pixels[kScreenWidth * kScreenHeight];

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

unsigned Mix(unsigned from, unsigned to, unsigned coverage) {
  return (from * (255 - coverage) + to * coverage + 127) / 255;
}

}  // namespace

uint32_t RgbOf(Colour colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

const uint32_t* HostScreenPixels() { return pixels; }

void ClearScreen() { FillScreenRect(Rect{0, 0, kScreenWidth, kScreenHeight}, 0); }

void FillScreenRect(const Rect& rect, uint32_t rgb) {
  int left = Clamp(rect.left, 0, kScreenWidth);
  int right = Clamp(rect.right, 0, kScreenWidth);
  int top = Clamp(rect.top, 0, kScreenHeight);
  int bottom = Clamp(rect.bottom, 0, kScreenHeight);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) pixels[y * kScreenWidth + x] = rgb;
  }
}

void BlendScreenPixel(int x, int y, uint32_t rgb, unsigned coverage) {
  if (x < 0 || y < 0 || x >= kScreenWidth || y >= kScreenHeight) return;
  uint32_t& pixel = pixels[y * kScreenWidth + x];
  uint32_t blended = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    blended |= Mix((pixel >> shift) & 0xFF, (rgb >> shift) & 0xFF, coverage) << shift;
  }
  pixel = blended;
}

}  // namespace nimbora
