#include "base/reservation.h"

#include <atomic>

#include "base/failure.h"

namespace fuzzyart {

namespace {
std::atomic<long> reservationsBeforeFailure{-1};
}

void setReservationFailure(long successes) { reservationsBeforeFailure = successes; }

bool reservationAllowed() {
  long left = reservationsBeforeFailure.load();
  while (left >= 0) {
    if (left == 0) return false;
    if (reservationsBeforeFailure.compare_exchange_weak(left, left - 1)) return true;
  }
  return true;
}

void failOutOfMemory(const std::string& failure) { fail(ErrorKind::kOutOfMemory, "%s", failure.c_str()); }

}  // namespace fuzzyart
