// The program's resources, from the same definitions as the Windows build's
// resource script.
#include "platform/host/host_internal.h"
#include "base/wide_string.h"
#include "updater_resources.h"

namespace nimbora {

struct Icon {
  unsigned id;
};

struct Accelerators {
  const AcceleratorEntry* entries;
  int count;
};

namespace {

struct StringResource {
  unsigned id;
  const char16_t* text;
};

constexpr StringResource kStrings[] = {
    {IDS_UPDATER_TITLE, u"" UPDATER_TITLE_TEXT},
    {IDS_UPDATER_CLASS, u"" UPDATER_CLASS_TEXT},
};

constexpr AcceleratorEntry kAcceleratorEntries[] = {
    {ACCELERATOR_KEY_A, ACCELERATOR_COMMAND_A, true},
    {ACCELERATOR_KEY_Q, ACCELERATOR_COMMAND_Q, true},
};

}  // namespace

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
  static Icon icon{IDI_UPDATER};
  return id == icon.id ? &icon : nullptr;
}

Accelerators* LoadAcceleratorResource(Instance*, unsigned id) {
  static Accelerators table{kAcceleratorEntries,
                            sizeof kAcceleratorEntries / sizeof kAcceleratorEntries[0]};
  return id == IDR_UPDATER_ACCELERATORS ? &table : nullptr;
}

const AcceleratorEntry* FindAccelerator(const Accelerators* table, unsigned key, bool control) {
  for (int i = 0; table != nullptr && i < table->count; ++i) {
    if (table->entries[i].key == key && table->entries[i].control == control) {
      return &table->entries[i];
    }
  }
  return nullptr;
}

}  // namespace nimbora
