// Memory reservations with their reports, and the test seam that makes one
// fail.
#pragma once

#include <cstdint>
#include <string>

#include "base/detailed_observer.h"

namespace fuzzyart {

// Test seam: the next `successes` reservations succeed and the one after
// fails; a negative value turns failures off (the default).
void setReservationFailure(long successes);
// Consumes one reservation; false when the seam makes it fail.
bool reservationAllowed();

// Asks for memory through allocate (which returns false, or throws
// std::bad_alloc, when it cannot), tells the observer, and stops with
// kOutOfMemory and `failure` when the memory was not granted. A request of
// nothing counts as not granted when emptyFails.
template <typename Allocate>
void reserveReported(Observer* observer, ReservationReport report, Allocate allocate, const std::string& failure,
                     bool emptyFails = false);

[[noreturn]] void failOutOfMemory(const std::string& failure);

template <typename Allocate>
void reserveReported(Observer* observer, ReservationReport report, Allocate allocate, const std::string& failure,
                     bool emptyFails) {
  bool granted = !(emptyFails && report.bytes == 0) && reservationAllowed();
  if (granted) {
    try {
      granted = allocate();
    } catch (const std::bad_alloc&) {
      granted = false;
    }
  }
  report.granted = granted;
  if (DetailedObserver* detailed = detailedObserver(observer)) detailed->onReservation(report);
  if (!granted) failOutOfMemory(failure);
}

}  // namespace fuzzyart
