// Window classes and the one window of the program, the message queue (posted
// messages first, then key input, then the quit message), the key presses
// given as options, accelerators and the program's resources.
#include <cctype>
#include <cstring>

#include "base/wide_string.h"
#include "host_internal.h"
#include "platform/shell.h"
#include "updater_resources.h"

namespace nimbora {

namespace {

constexpr uintptr_t kFromAccelerator = 1u << 16;
constexpr unsigned kVirtualKeyControl = 0x11;
// The exit status of a run that waits for a key when none can come.
constexpr int kNoKeyLeftStatus = 3;

struct NamedKey {
  const char* name;
  unsigned virtualKey;
};

constexpr NamedKey kNamedKeys[] = {{"space", 0x20}, {"enter", 0x0D}, {"escape", 0x1B}};

struct StringResource {
  unsigned id;
  const char16_t* text;
};

// From the same definitions as the Windows build's resource script.
constexpr StringResource kStrings[] = {
    {IDS_UPDATER_TITLE, u"" UPDATER_TITLE_TEXT},
    {IDS_UPDATER_CLASS, u"" UPDATER_CLASS_TEXT},
};

constexpr AcceleratorEntry kAcceleratorEntries[] = {
    {ACCELERATOR_KEY_A, ACCELERATOR_COMMAND_A, true},
    {ACCELERATOR_KEY_Q, ACCELERATOR_COMMAND_Q, true},
};

bool IsTheWindow(const Window* window) { return window != nullptr && window == TheWindow(); }

const RegisteredClass* FindClass(const char16_t* name) {
  for (const RegisteredClass& registered : hostSession->classes) {
    if (name != nullptr && WideCompareNoCase(registered.name.c_str(), name) == 0) {
      return &registered;
    }
  }
  return nullptr;
}

intptr_t SendToWindow(Window* target, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!IsTheWindow(target)) return 0;
  return target->procedure(target, message, wParam, lParam);
}

void DestroyTheWindow() {
  SendToWindow(&hostSession->window, kMessageDestroy, 0, 0);
  hostSession->window.alive = false;
}

bool ParseKey(std::string name, KeyPress* press) {
  for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  press->control = name.compare(0, 5, "ctrl+") == 0;
  if (press->control) name.erase(0, 5);
  if (name.size() == 1 && isalnum(static_cast<unsigned char>(name[0]))) {
    press->virtualKey = static_cast<unsigned>(toupper(static_cast<unsigned char>(name[0])));
    return !press->control || isalpha(static_cast<unsigned char>(name[0]));
  }
  for (const NamedKey& key : kNamedKeys) {
    if (!press->control && name == key.name) {
      press->virtualKey = key.virtualKey;
      return true;
    }
  }
  return false;
}

bool TakePosted(Message* message) {
  if (hostSession->posted.empty()) return false;
  *message = hostSession->posted.front();
  hostSession->posted.pop_front();
  return true;
}

// Key input goes to the window that has it; without a window it is lost.
bool TakeInput(Message* message) {
  while (!hostSession->input.empty()) {
    KeyPress key = hostSession->input.front();
    hostSession->input.pop_front();
    if (TheWindow() != nullptr) {
      hostSession->controlHeld = key.control;
      *message = Message{TheWindow(), kMessageKeyDown, key.virtualKey, 1};
      return true;
    }
  }
  return false;
}

const AcceleratorEntry* FindAccelerator(const Accelerators* table, unsigned key, bool control) {
  for (int i = 0; table != nullptr && i < table->count; ++i) {
    if (table->entries[i].key == key && table->entries[i].control == control) {
      return &table->entries[i];
    }
  }
  return nullptr;
}

}  // namespace

Window* TheWindow() {
  return hostSession != nullptr && hostSession->window.alive ? &hostSession->window : nullptr;
}

bool QueueKeyList(HostSession* session, const char* list, std::string* error) {
  if (list == nullptr || *list == 0) return true;
  for (const char* start = list;; ++start) {
    const char* end = strchr(start, ',');
    std::string name = end == nullptr ? std::string(start) : std::string(start, end);
    KeyPress press{};
    if (!ParseKey(name, &press)) {
      *error =
          "unknown key '" + name + "' (use letters, digits, space, enter, escape, ctrl+LETTER)";
      return false;
    }
    session->queued.push_back(press);
    if (end == nullptr) return true;
    start = end;
  }
}

void PushKeyDown(unsigned virtualKey, bool control) {
  hostSession->input.push_back({virtualKey, control});
}

void HostPressKey(unsigned virtualKey, bool control) {
  if (hostSession == nullptr) return;
  if (control && virtualKey != kVirtualKeyControl) PushKeyDown(kVirtualKeyControl, true);
  PushKeyDown(virtualKey, control);
}

void RequestClose() {
  if (TheWindow() != nullptr) PostToWindow(TheWindow(), kMessageClose, 0, 0);
}

int RegisterWindowClass(const WindowClass* windowClass) {
  if (hostSession == nullptr || windowClass == nullptr || windowClass->procedure == nullptr ||
      windowClass->className == nullptr || FindClass(windowClass->className) != nullptr) {
    return 0;
  }
  hostSession->classes.push_back(
      {windowClass->className, windowClass->procedure, windowClass->background});
  return static_cast<int>(hostSession->classes.size());
}

// Every window covers the whole screen, whatever position and size it asks for.
Window* CreateWindowFrom(const WindowParameters* parameters) {
  if (hostSession == nullptr || parameters == nullptr || TheWindow() != nullptr) return nullptr;
  const RegisteredClass* windowClass = FindClass(parameters->className);
  if (windowClass == nullptr) return nullptr;
  Window& window = hostSession->window;
  window = Window{windowClass->procedure, windowClass->background,
                  parameters->title == nullptr ? u"" : parameters->title, true, false};
  if (SendToWindow(&window, kMessageCreate, 0, 0) == -1) {
    DestroyTheWindow();
    return nullptr;
  }
  if (parameters->style & kWindowStyleVisible) ShowWindowWith(&window, kShowNormal);
  return &window;
}

void ShowWindowWith(Window* target, int showMode) {
  if (!IsTheWindow(target) || showMode == 0) return;
  target->erasePending = true;
  ShowPresentation(target->title.c_str());
}

void PaintWindowNow(Window* target) {
  if (IsTheWindow(target) && target->erasePending) SendToWindow(target, kMessagePaint, 0, 0);
}

void BeginWindowPaint(Window* target) {
  if (!IsTheWindow(target) || !target->erasePending) return;
  target->erasePending = false;
  if (target->background != nullptr) {
    FillScreenRect(Rect{0, 0, kScreenWidth, kScreenHeight}, RgbOf(target->background->colour));
  }
}

// Nothing to hand back: the host draws straight into the framebuffer.
void EndWindowPaint(Window*) {}

intptr_t DefaultProcessing(Window* target, uint32_t message, uintptr_t, intptr_t) {
  if (!IsTheWindow(target)) return 0;
  if (message == kMessageClose) DestroyTheWindow();
  if (message == kMessagePaint) {
    BeginWindowPaint(target);
    EndWindowPaint(target);
  }
  return 0;
}

void MovePointerTo(int x, int y) { MovePresentationPointer(x, y); }
void HidePointer() { HidePresentationPointer(); }

// A headless run that waits for a key when none is left ends as if the quit
// message had come, with its own status.
int GetNextMessage(Message* message) {
  if (hostSession == nullptr) return 0;
  for (;;) {
    if (TakePosted(message) || TakeInput(message)) return 1;
    if (!hostSession->quitPending && !WaitForInput()) PostQuitWith(kNoKeyLeftStatus);
    if (hostSession->quitPending) {
      hostSession->quitPending = false;
      *message = Message{nullptr, kMessageQuit, static_cast<uintptr_t>(hostSession->quitCode), 0};
      return 0;
    }
  }
}

int OfferToAccelerators(Window* window, Accelerators* table, Message* message) {
  if (message->message != kMessageKeyDown || window == nullptr) return 0;
  const AcceleratorEntry* entry = FindAccelerator(
      table, static_cast<unsigned>(message->wParam), hostSession->controlHeld);
  if (entry == nullptr) return 0;
  LogEvent("\"op\":\"command\",\"id\":%u", entry->command);
  SendToWindow(window, kMessageCommand, kFromAccelerator | entry->command, 0);
  return 1;
}

// The character messages would only reach default processing, which ignores
// them, so none are made.
void TranslateKeyMessage(const Message*) {}

intptr_t DispatchToWindow(const Message* message) {
  if (!IsTheWindow(message->window)) return 0;
  if (message->message == kMessageKeyDown) {
    LogEvent("\"op\":\"key\",\"vk\":%u", static_cast<unsigned>(message->wParam));
  }
  return SendToWindow(message->window, message->message, message->wParam, message->lParam);
}

int PostToWindow(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!IsTheWindow(window)) return 0;
  LogEvent("\"op\":\"post\",\"message\":%u", message);
  hostSession->posted.push_back(Message{window, message, wParam, lParam});
  return 1;
}

void PostQuitWith(int exitCode) {
  if (hostSession == nullptr) return;
  hostSession->quitPending = true;
  hostSession->quitCode = exitCode;
}

int LoadStringResource(Instance*, unsigned id, char16_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return 0;
  buffer[0] = 0;
  for (const StringResource& resource : kStrings) {
    if (resource.id == id) {
      WideCopyBounded(buffer, resource.text, capacity);
      return WideLength(buffer);
    }
  }
  return 0;
}

// The host window shows no icon; the handle only tells that the resource exists.
Icon* LoadIconResource(Instance*, unsigned id) {
  if (hostSession == nullptr || id != IDI_UPDATER) return nullptr;
  hostSession->icon.id = id;
  return &hostSession->icon;
}

Accelerators* LoadAcceleratorResource(Instance*, unsigned id) {
  if (hostSession == nullptr || id != IDR_UPDATER_ACCELERATORS) return nullptr;
  hostSession->accelerators = {kAcceleratorEntries,
                               sizeof kAcceleratorEntries / sizeof kAcceleratorEntries[0]};
  return &hostSession->accelerators;
}

}  // namespace nimbora
