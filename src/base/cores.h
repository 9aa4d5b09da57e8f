// How many threads the library's parallel steps may run at once.
#pragma once

namespace fuzzyart {

// The cores the process may run on (its CPU affinity), at least 1.
int usableCores();

// A caller's cap on threads (0: no cap) against the usable cores: at least 1.
inline int threadsFor(int cap) {
  const int cores = usableCores();
  return cap > 0 && cap < cores ? cap : cores;
}

}  // namespace fuzzyart
