#include "platform/start_timeline.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace varnelo {

void StartMark(const char* step) {
  static const bool wanted = std::getenv(kStartTimeline) != nullptr;
  if (!wanted) return;
  const auto nowNs = [](clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
  };
  // The processor time too: on a busy machine it tells the start's own work from waiting.
  static const long long zero = nowNs(CLOCK_MONOTONIC);
  static const long long cpuZero = nowNs(CLOCK_PROCESS_CPUTIME_ID);
  std::fprintf(stderr, "%8.2f %8.2f  %s\n", static_cast<double>(nowNs(CLOCK_MONOTONIC) - zero) / 1e6,
               static_cast<double>(nowNs(CLOCK_PROCESS_CPUTIME_ID) - cpuZero) / 1e6, step);
}

}  // namespace varnelo
