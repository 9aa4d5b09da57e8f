#include "run/console_observer.h"

#include "run/console.h"
#include "run/keyboard.h"
#include "run/notices.h"

namespace fuzzyart {

bool ConsoleObserver::onRow(RowLoop loop, int64_t counter, int categories) {
  const bool quiet = settings_.quiet;
  switch (loop) {
    case RowLoop::kMeasure:
      // The first pass asks for a key before it turns the spinner, the
      // other loops after.
      if (cancelPending()) return false;
      progressTick(counter, preparationTicks_, quiet);
      return true;
    case RowLoop::kCategoryRows:
      break;
    case RowLoop::kScale:
      progressTick(counter, preparationTicks_, quiet);
      break;
    case RowLoop::kLearn:
      learningRow_ = counter;
      // The full progress print backs up into the blanks after Beta and
      // shows the category count; the short one only turns the spinner.
      if (!quiet && counter % 120 == 0) {
        consoleErr("\b\b\b\b\b%04d%c", categories, spinnerChar(passSteps_++));
      } else if (!quiet && counter % 64 == 0) {
        consoleErr("\b%c", spinnerChar(passSteps_++));
      }
      break;
    case RowLoop::kClassify:
      if (counter == 0) recallTicks_ = 0;
      progressTick(counter, recallTicks_, quiet);
      break;
  }
  return !cancelPending();
}

void ConsoleObserver::onPassedOver(const PassOverNotes& notes) { tellPassedOver(notes); }

void ConsoleObserver::onPassStart(int pass, int categories, float beta) {
  passSteps_ = 0;
  if (pass == 1) {
    consoleErr("\nCategories at start:-   ");
  } else {
    consoleErr("\nCategories at start:%-4d", categories);
  }
  consoleErr(" Iteration:%-3d \xe1:%-18.6G", pass, double{beta});
}

void ConsoleObserver::onPassEnd(int, int categories) {
  // The character of the pass's last progress step (step - 1, written as
  // step + 3) stays on the line, kept as users' scripts and stored outputs
  // know the picture.
  if (!settings_.quiet) consoleErr("\b\b\b\b\b%04d%c", categories, spinnerChar(passSteps_ + 3));
}

void ConsoleObserver::onReservation(const ReservationReport& report) {
  const long long bytes = report.bytes;
  if (report.granted) {
    if (settings_.debugLevel >= 2) consoleErr("\n%lld bytes memory reserved.\n", bytes);
  } else if (report.what == Reservation::kCentreTable || report.what == Reservation::kCentreSums) {
    // "Attemted" is kept as users' scripts and stored outputs know it.
    consoleErr("\nAttemted to reserve %lld bytes memory.", bytes);
  } else {
    consoleErr("\nAttempted to reserve %lld bytes memory.", bytes);
  }
}

void ConsoleObserver::onRowMismatch(std::string_view line, int count, int columnCount) {
  // The line is shown as a text-mode read shows it: a CR before the line
  // feed does not appear.
  const bool feed = !line.empty() && line.back() == '\n';
  if (feed) line.remove_suffix(1);
  if (feed && !line.empty() && line.back() == '\r') line.remove_suffix(1);
  consoleErr("\nstr:%.*s%s%d!=%d\n", static_cast<int>(line.size()), line.data(), feed ? "\n" : "", count,
             columnCount);
}

void ConsoleObserver::onCategoryWritten(int category, int64_t count) {
  consoleOut("Counts of category%-2d: %6lld\n", category + 1, static_cast<long long>(count));
}

}  // namespace fuzzyart
