// The signals of a run. SIGINT, SIGTERM and SIGHUP ask the run to cancel,
// and interrupt a console write that waits for a reader (a full pipe), so
// that the run notices them at once; SIGPIPE and SIGXFSZ are ignored, so that a closed console pipe or a
// file-size limit makes a write fail, which the run reports. Every other
// signal whose default action ends the process removes the data file's
// incomplete result files and puts the terminal back, then ends the process
// by that same signal, as it would have ended without the program's help.
#pragma once

#include <signal.h>

#include <string>

namespace fuzzyart {

// Installs the handlers (once per process). A signal that whoever started
// the program ignores (nohup, a background job of a script) stays ignored.
void installSignalHandlers();

// Forgets a cancel request and a resumption of an earlier in-process run.
void resetSignals();

// True when SIGINT, SIGTERM or SIGHUP has arrived.
bool stopSignalArrived();

// True once after each SIGCONT (the job was stopped and went on).
bool takeResumed();

// How many incomplete result files a fatal signal can remove.
inline constexpr int kPendingSlots = 4;

// The incomplete result files a fatal signal removes, by slot (0 to
// kPendingSlots - 1): each a name within a directory held open by
// `directory`, which must stay open while the slot holds it. An empty name
// clears the slot.
void trackPendingFile(int slot, int directory, const std::string& name);

// While alive, every signal that can be held waits: the result files take
// their names without a handler seeing half of the renames.
class SignalHold {
 public:
  SignalHold();
  ~SignalHold();
  SignalHold(const SignalHold&) = delete;
  SignalHold& operator=(const SignalHold&) = delete;

 private:
  sigset_t before_;
};

}  // namespace fuzzyart
