#pragma once
// Minimum and maximum of every power-of-two block of a column, so that the
// lowest and highest reading of any span costs O(log n) instead of O(n).
// Readings that are not there (NaN, the ±1000 error values) are left out.
#include <cmath>
#include <cstdint>
#include <vector>

namespace tmv {

// A reading the graph does not draw: NaN, infinite, or an error value.
inline bool DrawableValue(float v) { return std::isfinite(v) && v != -1000.0f && v != 1000.0f; }

struct SpanRange {
  float low = 0, high = 0;
  bool any = false;  // some reading of the span is drawable
};

class ColumnSummary {
 public:
  // Blocks of 2^kFirstLevel readings and up; shorter spans are scanned.
  static constexpr int kFirstLevel = 3;

  void Build(const float* values, int count);
  // The same column grown to `count` readings (real-time rows appended):
  // only the new blocks are summarised. Another column is built afresh.
  void Extend(const float* values, int count);
  void Clear();
  bool Built() const { return values_ != nullptr; }
  int Count() const { return count_; }
  // Lowest and highest drawable reading of rows [begin, end).
  SpanRange Range(int begin, int end) const;
  // The whole column.
  SpanRange Whole() const { return Range(0, count_); }
  size_t MemoryBytes() const;

 private:
  void Scan(int begin, int end, SpanRange& r) const;
  const float* values_ = nullptr;
  int count_ = 0;
  // levels_[k] holds (min, max) pairs of blocks of 2^(k + kFirstLevel) readings.
  std::vector<std::vector<float>> levels_;
};

}  // namespace tmv
