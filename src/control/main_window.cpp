#include "control/main_window.h"

#include "control/update_run.h"
#include "display/application_launch.h"
#include "updater_resources.h"

namespace nimbora {

namespace {

constexpr int kResourceTextCapacity = 100;

Window* mainWindow = nullptr;
StartStatus startStatus = StartStatus::None;
// Set while a result waits on the screen: the next key press starts the
// application.
bool WaitingForKey = false;

}  // namespace

intptr_t MainWindowProc(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kMessageCreate:
      return 0;
    case kMessageDestroy:
      PostQuitWith(0);
      return 0;
    case kMessagePaint:
      BeginWindowPaint(window);
      EndWindowPaint(window);
      return 0;
    case kMessageKeyDown:
      if (WaitingForKey) {
        WaitingForKey = false;
        LaunchApplication(mainWindow);
      }
      return 0;
    default:
      return DefaultProcessing(window, message, wParam, lParam);
  }
}

bool InstanceStart(Instance* instance, int showMode) {
  char16_t title[kResourceTextCapacity];
  char16_t className[kResourceTextCapacity];
  LoadStringResource(instance, IDS_UPDATER_TITLE, title, kResourceTextCapacity);
  LoadStringResource(instance, IDS_UPDATER_CLASS, className, kResourceTextCapacity);

  WindowClass windowClass{};  // no extra bytes, cursor or menu
  windowClass.style = kClassStyleRedrawOnResize;
  windowClass.procedure = MainWindowProc;
  windowClass.instance = instance;
  windowClass.icon = LoadIconResource(instance, IDI_UPDATER);
  windowClass.background = StockObject(kStockBlackBrush);
  windowClass.className = className;
  if (RegisterWindowClass(&windowClass) == 0) return false;

  WindowParameters parameters{};  // no extended style, parent, menu or creation data
  parameters.className = className;
  parameters.title = title;
  parameters.style = kWindowStyleVisible;
  parameters.x = parameters.y = parameters.width = parameters.height = kDefaultPosition;
  parameters.instance = instance;
  Window* window = CreateWindowFrom(&parameters);
  if (window == nullptr) return false;
  mainWindow = window;

  ShowWindowWith(window, showMode);
  PaintWindowNow(window);
  MovePointerTo(kScreenWidth, kScreenHeight);  // the bottom-right corner, out of the way
  HidePointer();
  WaitingForKey = RunUpdate(mainWindow, startStatus);
  return true;
}

int ProgramEntry(Instance* instance, const char16_t* commandLine, int showMode) {
  startStatus = DecodeStartStatus(commandLine);
  WaitingForKey = false;
  if (!InstanceStart(instance, showMode)) return 0;

  Accelerators* accelerators = LoadAcceleratorResource(instance, IDR_UPDATER_ACCELERATORS);
  Message message{};
  while (GetNextMessage(&message) != 0) {
    if (OfferToAccelerators(message.window, accelerators, &message) == 0) {
      TranslateKeyMessage(&message);
      DispatchToWindow(&message);
    }
  }
  return static_cast<int>(message.wParam);
}

}  // namespace nimbora
