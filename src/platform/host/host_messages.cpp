// The message queue: posted messages first, then key input for the window,
// then the quit message; the accelerator table and dispatching.
#include <deque>

#include "platform/host/host_internal.h"

namespace nimbora {

namespace {

constexpr uintptr_t kFromAccelerator = 1u << 16;

struct KeyDown {
  unsigned virtualKey;
  bool control;
};

std::deque<Message> posted;
std::deque<KeyDown> input;
bool quitPending = false;
int quitCode = 0;
bool controlHeld = false;  // as the key state was when the current key message arrived

bool TakePosted(Message* message) {
  if (posted.empty()) return false;
  *message = posted.front();
  posted.pop_front();
  return true;
}

// Key input goes to the window that has it; without a window it is lost.
bool TakeInput(Message* message) {
  while (!input.empty()) {
    KeyDown key = input.front();
    input.pop_front();
    if (TheWindow() != nullptr) {
      controlHeld = key.control;
      *message = Message{TheWindow(), kMessageKeyDown, key.virtualKey, 1};
      return true;
    }
  }
  return false;
}

}  // namespace

void PushKeyDown(unsigned virtualKey, bool control) { input.push_back({virtualKey, control}); }

void HostPressKey(unsigned virtualKey, bool control) {
  if (control && virtualKey != kVirtualKeyControl) PushKeyDown(kVirtualKeyControl, true);
  PushKeyDown(virtualKey, control);
}

bool MessagesPending() { return !posted.empty() || !input.empty(); }

void RequestClose() {
  if (TheWindow() != nullptr) PostToWindow(TheWindow(), kMessageClose, 0, 0);
}

void ForgetMessages() {
  posted.clear();
  input.clear();
  quitPending = false;
  quitCode = 0;
  controlHeld = false;
}

int GetNextMessage(Message* message) {
  for (;;) {
    if (TakePosted(message) || TakeInput(message)) return 1;
    if (quitPending) {
      quitPending = false;
      *message = Message{nullptr, kMessageQuit, static_cast<uintptr_t>(quitCode), 0};
      return 0;
    }
    WaitForInput();
  }
}

int OfferToAccelerators(Window* window, Accelerators* table, Message* message) {
  if (message->message != kMessageKeyDown || window == nullptr) return 0;
  const AcceleratorEntry* entry =
      FindAccelerator(table, static_cast<unsigned>(message->wParam), controlHeld);
  if (entry == nullptr) return 0;
  LogEvent("\"op\":\"command\",\"id\":%u", entry->command);
  SendToWindow(window, kMessageCommand, kFromAccelerator | entry->command, 0);
  return 1;
}

// The character messages would only reach default processing, which ignores
// them, so none are made.
void TranslateKeyMessage(const Message*) {}

intptr_t DispatchToWindow(const Message* message) {
  if (message->window == nullptr || message->window != TheWindow()) return 0;
  if (message->message == kMessageKeyDown) {
    LogEvent("\"op\":\"key\",\"vk\":%u", static_cast<unsigned>(message->wParam));
  }
  return SendToWindow(message->window, message->message, message->wParam, message->lParam);
}

int PostToWindow(Window* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (window == nullptr || window != TheWindow()) return 0;
  LogEvent("\"op\":\"post\",\"message\":%u", message);
  posted.push_back(Message{window, message, wParam, lParam});
  return 1;
}

void PostQuitWith(int exitCode) {
  quitPending = true;
  quitCode = exitCode;
}

}  // namespace nimbora
