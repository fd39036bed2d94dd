// Key presses given on the command line, pressed one at a time whenever the
// program waits for a key and no keyboard is there.
#include <cctype>
#include <cstring>
#include <deque>

#include "platform/host/host_internal.h"
#include "platform/host/host_platform.h"

namespace nimbora {

namespace {

struct KeyPress {
  unsigned virtualKey;
  bool control;
};

struct NamedKey {
  const char* name;
  unsigned virtualKey;
};

constexpr NamedKey kNamedKeys[] = {{"space", 0x20}, {"enter", 0x0D}, {"escape", 0x1B}};

std::deque<KeyPress> queued;

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

}  // namespace

bool QueueKeyList(const char* list, std::string* error) {
  if (list == nullptr || *list == 0) return true;
  std::deque<KeyPress> presses;
  for (const char* start = list;; ++start) {
    const char* end = strchr(start, ',');
    std::string name = end == nullptr ? std::string(start) : std::string(start, end);
    KeyPress press{};
    if (!ParseKey(name, &press)) {
      *error =
          "unknown key '" + name + "' (use letters, digits, space, enter, escape, ctrl+LETTER)";
      return false;
    }
    presses.push_back(press);
    if (end == nullptr) break;
    start = end;
  }
  queued.insert(queued.end(), presses.begin(), presses.end());
  return true;
}

bool PressNextQueuedKey() {
  if (queued.empty()) return false;
  HostPressKey(queued.front().virtualKey, queued.front().control);
  queued.pop_front();
  return true;
}

void ForgetQueuedKeys() { queued.clear(); }

}  // namespace nimbora
