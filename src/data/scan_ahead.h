// The rows of a data file's first pass, read and scanned ahead: a second
// thread reads the file in blocks of whole lines and scans them into values
// while the caller takes the rows of the blocks before; the caller scans a
// block itself when it gets there first, and one behind the helper's rather
// than wait for that. Scanning has no effect beyond its
// block, and rows are handed out in file order with readDataRow's results
// and reports, so the caller sees what reading line by line shows.
//
// Reading ahead never reads past the end that line-by-line reading would
// reach in a way the caller can see: failed() tells a failed read only where
// readDataRow would have met it. Waiting threads sleep on a condition
// variable; without a second thread the caller does all the work.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "data/row_reader.h"
#include "base/large_buffer.h"

namespace fuzzyart {

class ScanAhead {
 public:
  // The file must be open at its start; until the scanner is destroyed, only
  // the scanner reads it. Without `ahead`, no second thread is started.
  ScanAhead(TextFile& in, bool ahead);
  ~ScanAhead();
  ScanAhead(const ScanAhead&) = delete;
  ScanAhead& operator=(const ScanAhead&) = delete;

  // readDataRow on the next line, without its copy: for a row, values
  // points at its values where they were scanned (no 0.0 after them), valid
  // until the next call.
  int32_t nextInPlace(float*& values, RowShape& shape, Observer* observer);
  // TextFile::failed() as reading line by line up to the last row handed
  // out would leave it.
  bool failed() const { return failed_; }
  // The row last handed out had text glued to a number.
  bool glued() const { return glued_; }
  // The data ended at a line without values, not at the file's end.
  bool endedOnLine() const { return endedOnLine_; }

 private:
  struct Line {
    size_t begin;
    size_t length;
    int32_t count;
    LineKind kind;
    bool glued;
  };
  // Blocks are kept for reuse: their memory is touched once.
  struct Block {
    enum State { kRead, kScanning, kScanned };
    // The text, then room for the stored values of its lines, back to back:
    // a slot of the scanner's arena, or memory of its own for a text that
    // does not fit there.
    char* memory = nullptr;
    size_t room = 0;
    LargeBuffer own;
    size_t textBytes = 0;
    size_t valuesAt = 0;
    bool last = false;    // no text follows
    bool failed = false;  // a read failed after this text
    State state = kRead;
    std::vector<Line> lines;  // every line but the comments
    const char* text() const { return memory; }
    float* values() { return reinterpret_cast<float*>(memory + valuesAt); }
    // Takes a copy of the text, with room for its values.
    void hold(std::string_view text);
  };

  // The next line that is not a comment, from the blocks in file order (the
  // caller's block moving on as needed); null at the end of the text.
  const Line* nextScannedLine();
  // The next `stored` values of the caller's block.
  float* takeValues(int32_t stored);
  std::string_view textOf(const Line& line) const {
    return std::string_view(current_->text() + line.begin, line.length);
  }
  // Reads the next block (the lock held on entry and exit, released for
  // the reading); false once the file has ended.
  bool readBlock(std::unique_lock<std::mutex>& lock);
  static void scan(Block& block);
  // Scans a block read but not scanned, the lock released meanwhile (held on
  // entry and exit).
  void scanUnlocked(Block& block, std::unique_lock<std::mutex>& lock);
  // The caller's wait for the block the helper scans, spent on a block
  // behind it (the lock held on entry and exit); false when there is none.
  bool scanBehind(std::unique_lock<std::mutex>& lock);
  void helperLoop();

  TextFile& in_;
  // The slots of the first blocks, side by side in one large page.
  LargeBuffer arena_;
  int blocksMade_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Block>> blocks_;  // in file order, the caller's first
  std::vector<std::unique_ptr<Block>> free_;
  bool reading_ = false;  // a thread is reading a block
  bool ended_ = false;    // the file has no more text
  bool stop_ = false;
  std::exception_ptr error_;  // what stopped the helper
  std::thread helper_;
  // The caller's side.
  std::unique_ptr<Block> current_;
  size_t nextLine_ = 0;
  size_t nextValue_ = 0;
  bool failed_ = false;
  bool glued_ = false;
  bool endedOnLine_ = false;
};

}  // namespace fuzzyart
