#include "engine/category_table.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "run/console.h"

namespace fuzzyart {

namespace {

long reservationsBeforeFailure = -1;

constexpr size_t kTileAlignment = 64;

void reportReserved(long long bytes, int debugLevel) {
  if (debugLevel >= 2) consoleErr("\n%lld bytes memory reserved.\n", bytes);
}

}  // namespace

void setReservationFailure(long successes) { reservationsBeforeFailure = successes; }

bool reservationAllowed() {
  if (reservationsBeforeFailure < 0) return true;
  if (reservationsBeforeFailure == 0) return false;
  --reservationsBeforeFailure;
  return true;
}

void CategoryTable::AlignedDelete::operator()(float* p) const { std::free(p); }

CategoryTable::CategoryTable() = default;

void CategoryTable::copyWeights(int j, std::span<float> out) const {
  const float* base = tiles_[j / kLanes].get() + j % kLanes;
  for (size_t i = 0; i < out.size(); ++i) out[i] = base[i * kLanes];
}

void CategoryTable::refreshDenominator(int j) {
  bool wasZero = denominators_[j] == 0.0f && committed_[j] != 0;
  const float* base = tiles_[j / kLanes].get() + j % kLanes;
  float sum = alpha_;
  for (int i = 0; i < length_; ++i) sum += base[static_cast<size_t>(i) * kLanes];
  denominators_[j] = sum;
  bool isZero = sum == 0.0f;
  zeroDenominators_ += static_cast<int>(isZero) - static_cast<int>(wasZero);
}

bool CategoryTable::reserveWeights(int index, int length) {
  if (index >= kCapacity || !reservationAllowed()) return false;
  if (reserved_ == 0) length_ = length;
  int t = index / kLanes;
  if (!tiles_[t]) {
    size_t bytes = static_cast<size_t>(length_) * kLanes * sizeof(float);
    bytes = (bytes + kTileAlignment - 1) / kTileAlignment * kTileAlignment;
    void* memory = std::aligned_alloc(kTileAlignment, bytes == 0 ? kTileAlignment : bytes);
    if (memory == nullptr) return false;
    std::memset(memory, 0, bytes);
    tiles_[t].reset(static_cast<float*>(memory));
  }
  if (index >= reserved_) reserved_ = index + 1;
  return true;
}

void CategoryTable::markCommitted(int index) {
  committed_[index] = 1;
  count_ = index + 1;
  denominators_[index] = -1.0f;  // not zero: refreshDenominator counts it afresh
  refreshDenominator(index);
}

void CategoryTable::resetForFile() { count_ = 0; }

void CategoryTable::resetForEngine(float alpha) {
  committed_.fill(0);
  counts_.fill(0);
  denominators_.fill(0.0f);
  zeroDenominators_ = 0;
  alpha_ = alpha;
}

void CategoryTable::releaseCategories() {
  for (auto& tile : tiles_) tile.reset();
  count_ = 0;
  reserved_ = 0;
  length_ = 0;
  zeroDenominators_ = 0;
  committed_.fill(0);
}

void reserveCategory(CategoryTable& table, int index, int length, int debugLevel) {
  long long bytes = static_cast<long long>(length) * 4;
  if (!table.reserveWeights(index, length)) {
    consoleErr("\nAttempted to reserve %lld bytes memory.", bytes);
    panic("Not enough memory for category: %d\n", index + 1);
  }
  reportReserved(bytes, debugLevel);
}

void reserveVector(std::vector<float>& slot, int length, const char* name, int debugLevel) {
  long long bytes = static_cast<long long>(length) * 4;
  bool reserved = reservationAllowed();
  if (reserved) {
    try {
      slot.assign(static_cast<size_t>(length), 0.0f);
    } catch (const std::bad_alloc&) {
      reserved = false;
    }
  }
  if (!reserved) {
    consoleErr("\nAttempted to reserve %lld bytes memory.", bytes);
    panic("Not enough memory for %svector.\n", name);
  }
  reportReserved(bytes, debugLevel);
}

void commitCategory(CategoryTable& table, std::span<const float> input, int debugLevel) {
  int index = table.count();
  reserveCategory(table, index, static_cast<int>(input.size()), debugLevel);
  for (size_t i = 0; i < input.size(); ++i) table.setWeight(index, static_cast<int>(i), input[i]);
  table.markCommitted(index);
}

}  // namespace fuzzyart
