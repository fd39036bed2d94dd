// Language.ini and main.ini texts through the status screen: the update
// run's outcome screen and the launch screen, drawn by the host backend into
// its framebuffer. Whatever the texts, nothing is drawn outside the three
// bands and every drawing resource is released again. Runs with one failing
// file-system call as well. Characters are drawn as fixed-advance blocks,
// which keeps the runs fast and independent of the fonts installed.
#include <cstdlib>
#include <cstring>
#include <string>

#include "control/update_run.h"
#include "display/application_launch.h"
#include "display/status_screen.h"
#include "fuzz_device.h"
#include "fuzz_input.h"
#include "platform/device_locations.h"
#include "platform/host/host_platform.h"

using namespace nimbora;

namespace {

// A headless session for the whole run, over an empty scratch root, so the
// launch's program start fails and its "Open" text is drawn too.
Window* StartSession() {
  static char root[] = "/tmp/nimbora-screen-fuzz-XXXXXX";
  Check(mkdtemp(root) != nullptr);
  HostOptions options{};
  options.root = root;
  options.virtualClock = true;
  options.fixedFontAdvance = 10;
  char error[200];
  Check(HostStart(&options, error, sizeof error) == 1);
  WindowClass windowClass{0, DefaultProcessing, 0, 0, nullptr, nullptr,
                          StockObject(kStockBlackBrush), u"FUZZ"};
  Check(RegisterWindowClass(&windowClass) != 0);
  WindowParameters parameters{0, u"FUZZ", u"Fuzz", kWindowStyleVisible, 0, 0, 0, 0, nullptr};
  Window* window = CreateWindowFrom(&parameters);
  Check(window != nullptr);
  return window;
}

// The band whose rows include y, if any.
const Rect* BandAt(int y) {
  for (const Rect* band : {&kMessageBand, &kPromptBand, &kFooterBand}) {
    if (y >= band->top && y < band->bottom) return band;
  }
  return nullptr;
}

// The screen starts black and nothing ever draws outside the bands, so this
// holds after every input. Compared a row at a time with memcmp: a pixel
// loop under the fuzzer's instrumentation cost more than the run itself.
void CheckOnlyBandsLit() {
  static const uint32_t black[kScreenWidth] = {};
  const uint32_t* pixels = HostScreenPixels();
  for (int y = 0; y < kScreenHeight; ++y) {
    const uint32_t* row = pixels + y * kScreenWidth;
    const Rect* band = BandAt(y);
    int left = band != nullptr ? band->left : kScreenWidth;
    int right = band != nullptr ? band->right : kScreenWidth;
    Check(std::memcmp(row, black, left * sizeof *row) == 0);
    Check(std::memcmp(row + right, black, (kScreenWidth - right) * sizeof *row) == 0);
  }
}

std::string Narrow(const char16_t* text) {
  std::string bytes;
  for (; *text != 0; ++text) bytes += static_cast<char>(*text);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Window* window = StartSession();
  FuzzInput input{data, size};
  FaultRule rule = TakeFaultRule(&input);
  StartStatus status = TakeByte(&input) & 1 ? StartStatus::Failure : StartStatus::Success;
  char16_t language[kPathCapacity];
  char16_t title[kPathCapacity];
  TakeText(&input, language, kPathCapacity);
  TakeText(&input, title, kPathCapacity);

  FuzzDevice device;
  StartFuzzDevice(&device);
  std::u16string applicationDirectory = kApplicationDirectory;
  Check(PutFile(&device, kInstalledStatePath,
                "[Main]\r\nVersion=1.2.3\r\nTitle=" + Narrow(title) + "\r\n[Option]\r\nLangue=" +
                    Narrow(language) + "\r\nFrequency=1\r\n"));
  Check(PutFile(&device, (applicationDirectory + u"Language.ini").c_str(),
                std::string(reinterpret_cast<const char*>(input.data), input.size)));
  ApplyFaultRule(&device.faults, rule);
  // A status word makes the run show its outcome and wait instead of launching.
  RunUpdate(window, status);
  LaunchApplication(window);
  StopFuzzDevice(&device);

  Message closeRequest;
  Check(GetNextMessage(&closeRequest) == 1 && closeRequest.message == kMessageClose);
  Check(HostLiveDrawingResources() == 0);
  CheckOnlyBandsLit();
  return 0;
}
