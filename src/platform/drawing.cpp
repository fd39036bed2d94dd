#include "platform/drawing.h"

namespace nimbora {

namespace {
DrawingHook hook{};
}

void SetDrawingHook(const DrawingHook* newHook) {
  hook = newHook != nullptr ? *newHook : DrawingHook{};
}

void ReportDrawnText(const DrawnTextReport* drawn) {
  if (hook.textDrawn != nullptr) hook.textDrawn(hook.context, drawn);
}

}  // namespace nimbora
