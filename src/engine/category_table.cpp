#include "engine/category_table.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "base/reservation.h"

namespace fuzzyart {

namespace {
constexpr size_t kAlignment = 64;
}

void AlignedFree::operator()(float* p) const { std::free(p); }

AlignedFloats allocateAligned(size_t count) {
  size_t bytes = (count * sizeof(float) + kAlignment - 1) / kAlignment * kAlignment;
  if (bytes == 0) bytes = kAlignment;
  void* memory = std::aligned_alloc(kAlignment, bytes);
  if (memory != nullptr) std::memset(memory, 0, bytes);
  return AlignedFloats(static_cast<float*>(memory));
}

CategoryTable::CategoryTable(int capacity, int length, float alpha)
    : capacity_(capacity), length_(length), alpha_(alpha) {}

CategoryTable::CategoryTable(const CategoryTable& other) { *this = other; }

CategoryTable& CategoryTable::operator=(const CategoryTable& other) {
  if (this == &other) return *this;
  capacity_ = other.capacity_;
  length_ = other.length_;
  alpha_ = other.alpha_;
  count_ = other.count_;
  const size_t tileFloats = static_cast<size_t>(length_) * kLanes;
  tiles_.clear();
  for (const auto& tile : other.tiles_) {
    tiles_.push_back(allocateAligned(tileFloats));
    if (!tiles_.back()) throw std::bad_alloc();
    std::memcpy(tiles_.back().get(), tile.get(), tileFloats * sizeof(float));
  }
  denominators_ = other.denominators_;
  kinds_ = other.kinds_;
  zeroDenominators_ = other.zeroDenominators_;
  negativeDenominators_ = other.negativeDenominators_;
  return *this;
}

void CategoryTable::copyWeights(int j, std::span<float> out) const {
  const float* base = tiles_[static_cast<size_t>(j / kLanes)].get() + j % kLanes;
  for (size_t i = 0; i < out.size(); ++i) out[i] = base[i * kLanes];
}

void CategoryTable::refreshDenominator(int j) {
  const float* base = tiles_[static_cast<size_t>(j / kLanes)].get() + j % kLanes;
  float sum = alpha_;
  for (int i = 0; i < length_; ++i) sum += base[static_cast<size_t>(i) * kLanes];
  setDenominator(j, sum);
}

bool CategoryTable::reserveNext() {
  if (count_ >= capacity_) return false;
  const size_t t = static_cast<size_t>(count_ / kLanes);
  if (t == tiles_.size()) {
    AlignedFloats tile = allocateAligned(static_cast<size_t>(length_) * kLanes);
    if (!tile) return false;
    tiles_.push_back(std::move(tile));
    // Room to a multiple of 64 categories, as the kernel's selection reads;
    // the lanes past the last category are not a number, so that the
    // search's choice values there never compete.
    denominators_.resize((tiles_.size() * kLanes + 63) / 64 * 64, std::numeric_limits<float>::quiet_NaN());
    kinds_.resize(tiles_.size() * kLanes, 0);
  } else {
    for (int i = 0; i < length_; ++i) setWeight(count_, i, 0.0f);
  }
  return true;
}

void CategoryTable::commitNext() {
  ++count_;
  refreshDenominator(count_ - 1);
}

void commitCategory(CategoryTable& table, std::span<const float> weights, Observer* observer) {
  const int index = table.count();
  reserveReported(observer, {Reservation::kCategory, int64_t{table.length()} * 4, false, index, ""},
                  [&] { return table.reserveNext(); },
                  "Not enough memory for category: " + std::to_string(index + 1) + "\n");
  for (size_t i = 0; i < weights.size(); ++i) table.setWeight(index, static_cast<int>(i), weights[i]);
  table.commitNext();
}

}  // namespace fuzzyart
