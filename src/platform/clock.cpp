#include "platform/clock.h"

namespace nimbora {

namespace {
Clock* current = nullptr;
}

void UseClock(Clock* clock) { current = clock; }
Clock* CurrentClock() { return current; }
void SleepFor(uint32_t milliseconds) { current->sleep(current, milliseconds); }
uint64_t ClockMilliseconds() { return current->now(current); }

}  // namespace nimbora
