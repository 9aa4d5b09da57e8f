// The two clean-ups: RoughCleaning at the end of each data file, majorClean on
// every way out of the run.
#pragma once

namespace fuzzyart {

struct RunContext;

// Releases the data file's categories, centre sums and ranges and closes its
// streams; a failed close of a result file stops the run ("Can't write to
// disk. Disk full?").
void roughCleaning(RunContext& context);

// Releases whatever is still held and closes whatever is still open, without
// checking (the run is ending); at debug level 2 framed by "\nMajorClean..."
// and "Ready!\n". Nothing is deleted.
void majorClean(RunContext& context);

}  // namespace fuzzyart
