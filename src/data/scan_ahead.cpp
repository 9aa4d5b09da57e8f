#include "data/scan_ahead.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace fuzzyart {

namespace {
// Blocks read ahead of the caller's, and the text of a block: enough to
// keep both threads scanning (the helper one block, the caller one behind
// it), and little memory to touch for the first time.
constexpr size_t kBlocksAhead = 3;
constexpr size_t kBlockBytes = size_t{120} << 10;
// The most blocks there are at once (those ahead and the caller's), each
// with room for its text and values: together within one 2 MiB page.
constexpr int kSlots = kBlocksAhead + 1;

// The memory of a block's text and its values: a value takes two characters
// at least (a digit and what ends it), so the values fit in half the text's
// length, plus a line's worth.
constexpr size_t valuesAt(size_t textBytes) { return (textBytes + 63) / 64 * 64; }
constexpr size_t blockBytes(size_t textBytes) {
  return valuesAt(textBytes) + (textBytes / 2 + kRowBufferSize) * sizeof(float);
}
constexpr size_t kSlotBytes = blockBytes(kBlockBytes);
}  // namespace

ScanAhead::ScanAhead(TextFile& in, bool ahead) : in_(in) {
  try {
    arena_.resize(kSlots * kSlotBytes);
  } catch (const std::bad_alloc&) {
    // Each block takes memory of its own.
  }
  // A file in memory is one block: nothing to share.
  if (!ahead || in_.descriptor() < 0) return;
  try {
    helper_ = std::thread([this] { helperLoop(); });
  } catch (const std::system_error&) {
    // No second thread: the caller reads and scans every block.
  }
}

ScanAhead::~ScanAhead() {
  if (!helper_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

bool ScanAhead::readBlock(std::unique_lock<std::mutex>& lock) {
  reading_ = true;
  std::unique_ptr<Block> block;
  if (free_.empty()) {
    block = std::make_unique<Block>();
    if (blocksMade_ < kSlots && arena_.data() != nullptr) {
      block->memory = arena_.data() + static_cast<size_t>(blocksMade_) * kSlotBytes;
      block->room = kSlotBytes;
    }
    ++blocksMade_;
  } else {
    block = std::move(free_.back());
    free_.pop_back();
  }
  lock.unlock();
  std::string_view text;
  const bool got = in_.nextLines(text, kBlockBytes);
  try {
    block->hold(got ? text : std::string_view());
  } catch (...) {
    lock.lock();
    reading_ = false;
    throw;
  }
  block->last = !got;
  block->failed = !got && in_.failed();
  block->state = Block::kRead;
  lock.lock();
  reading_ = false;
  ended_ = !got;
  blocks_.push_back(std::move(block));
  changed_.notify_all();
  return got;
}

void ScanAhead::Block::hold(std::string_view text) {
  const size_t bytes = blockBytes(text.size());
  if (bytes > room) {
    own.resize(bytes);
    memory = own.data();
    room = bytes;
  }
  if (!text.empty()) std::memcpy(memory, text.data(), text.size());
  textBytes = text.size();
  this->valuesAt = fuzzyart::valuesAt(text.size());
}

void ScanAhead::scan(Block& block) {
  block.lines.clear();
  const char* const text = block.text();
  const char* p = text;
  const char* const end = p + block.textBytes;
  float* const values = block.values();
  size_t at = 0;
  SignTally signs;
  while (p < end) {
    const void* feed = std::memchr(p, '\n', static_cast<size_t>(end - p));
    const size_t length = feed != nullptr ? static_cast<size_t>(static_cast<const char*>(feed) - p) + 1
                                          : static_cast<size_t>(end - p);
    int32_t count = 0;
    bool glued = false;
    const LineKind kind = scanDataLine(std::string_view(p, length), values + at, count, signs, &glued);
    if (kind != LineKind::kComment) {
      block.lines.push_back({static_cast<size_t>(p - text), length, count, kind, glued});
      if (kind == LineKind::kValues) at += static_cast<size_t>(std::min(count, kMaxInputLength));
    }
    p += length;
  }
}

void ScanAhead::scanUnlocked(Block& block, std::unique_lock<std::mutex>& lock) {
  block.state = Block::kScanning;
  lock.unlock();
  try {
    scan(block);
  } catch (...) {
    lock.lock();
    block.state = Block::kRead;  // whoever comes next scans it again and meets the failure itself
    throw;
  }
  lock.lock();
  block.state = Block::kScanned;
}

void ScanAhead::helperLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_ && !error_) {
    try {
      if (!reading_ && !ended_ && blocks_.size() < kBlocksAhead) {
        readBlock(lock);
        continue;
      }
      auto unscanned = std::find_if(blocks_.begin(), blocks_.end(),
                                    [](const std::unique_ptr<Block>& b) { return b->state == Block::kRead; });
      if (unscanned != blocks_.end()) {
        scanUnlocked(**unscanned, lock);
        changed_.notify_all();
        continue;
      }
    } catch (...) {
      // Memory the helper could not have: the caller finds out where it
      // would have found out alone, or from the error.
      error_ = std::current_exception();
      changed_.notify_all();
      return;
    }
    changed_.wait(lock);
  }
}

bool ScanAhead::scanBehind(std::unique_lock<std::mutex>& lock) {
  auto behind = std::find_if(blocks_.begin() + 1, blocks_.end(),
                             [](const std::unique_ptr<Block>& b) { return b->state == Block::kRead; });
  if (behind == blocks_.end()) return false;
  try {
    scanUnlocked(**behind, lock);
  } catch (...) {
    // The block is scanned again in its turn, where the failure comes out
    // as it would line by line.
    return false;
  }
  changed_.notify_all();
  return true;
}

int32_t ScanAhead::nextInPlace(float*& values, RowShape& shape, Observer* observer) {
  values = nullptr;
  const Line* line = nextScannedLine();
  if (line == nullptr) return 0;
  if (line->kind == LineKind::kBad) return -2;
  glued_ = line->glued;
  endedOnLine_ = line->count == 0;
  values = takeValues(std::min(line->count, kMaxInputLength));
  return checkDataRow(textOf(*line), line->count, shape, observer);
}

float* ScanAhead::takeValues(int32_t stored) {
  float* const values = current_->values() + nextValue_;
  nextValue_ += static_cast<size_t>(stored);
  return values;
}

const ScanAhead::Line* ScanAhead::nextScannedLine() {
  for (;;) {
    if (current_ && nextLine_ < current_->lines.size()) break;
    if (current_ && current_->last) {
      failed_ = current_->failed;
      return nullptr;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (current_) {
      free_.push_back(std::move(current_));
      changed_.notify_all();
    }
    for (;;) {
      if (!blocks_.empty()) {
        Block& block = *blocks_.front();
        if (block.state == Block::kScanned) break;
        if (block.state == Block::kRead) {
          scanUnlocked(block, lock);
          break;
        }
        if (scanBehind(lock)) continue;
      } else if (error_ && !reading_) {
        std::rethrow_exception(error_);
      } else if (!reading_ && !ended_) {
        readBlock(lock);
        continue;
      }
      changed_.wait(lock);
    }
    current_ = std::move(blocks_.front());
    blocks_.pop_front();
    nextLine_ = 0;
    nextValue_ = 0;
    changed_.notify_all();
  }
  return &current_->lines[nextLine_++];
}

}  // namespace fuzzyart
