// Device contexts and drawing objects of the host backend.
#pragma once

#include "platform/drawing.h"
#include "platform/host/host_internal.h"

namespace nimbora {

constexpr int kBackgroundOpaque = 2;  // a fresh device context

enum class ObjectKind { Font, Brush };

struct DrawObject {
  ObjectKind kind;
  bool stock;      // never deleted
  int selections;  // device contexts it is selected into
  Colour colour;   // brush
  HostFont* font;  // font
};

struct Surface {
  Window* window;
  DrawObject* font;  // never nullptr: the default font at first
  Colour textColour;
  int backgroundMode;
};

HostFont* SelectedHostFont(const Surface* surface);

}  // namespace nimbora
