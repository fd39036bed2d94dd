#include "platform/device_names.h"

#include "platform/file_system.h"

namespace nimbora {

PathStep StepOfComponent(const char16_t* name, int length, bool last, int* kept) {
  if (length == 1 && name[0] == u'.') return PathStep::Skip;
  if (length == 2 && name[0] == u'.' && name[1] == u'.') return PathStep::Up;
  if (!last) {
    if (length > 0 && name[length - 1] == u'.') --length;
  } else {
    while (length > 0 && (name[length - 1] == u'.' || name[length - 1] == u' ')) --length;
  }
  *kept = length;
  if (length == 0) return PathStep::Skip;
  return length < kPathCapacity ? PathStep::Name : PathStep::TooLong;
}

}  // namespace nimbora
