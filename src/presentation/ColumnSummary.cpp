#include "presentation/ColumnSummary.h"

#include <algorithm>
#include <limits>

namespace tmv {
namespace {
constexpr float kNone = std::numeric_limits<float>::infinity();
}

void ColumnSummary::Clear() {
  values_ = nullptr;
  count_ = 0;
  levels_.clear();
}

void ColumnSummary::Build(const float* values, int count) {
  values_ = values;
  count_ = std::max(count, 0);
  levels_.clear();
  const int block = 1 << kFirstLevel;
  int blocks = count_ / block;
  if (blocks == 0) return;
  std::vector<float> first(static_cast<size_t>(blocks) * 2);
  for (int b = 0; b < blocks; ++b) {
    float lo = kNone, hi = -kNone;
    const float* v = values + static_cast<size_t>(b) * block;
    for (int i = 0; i < block; ++i)
      if (DrawableValue(v[i])) {
        lo = std::min(lo, v[i]);
        hi = std::max(hi, v[i]);
      }
    first[2 * static_cast<size_t>(b)] = lo;
    first[2 * static_cast<size_t>(b) + 1] = hi;
  }
  levels_.push_back(std::move(first));
  while (blocks >= 2) {
    const std::vector<float>& below = levels_.back();
    blocks /= 2;
    std::vector<float> next(static_cast<size_t>(blocks) * 2);
    for (size_t b = 0; b < static_cast<size_t>(blocks); ++b) {
      next[2 * b] = std::min(below[4 * b], below[4 * b + 2]);
      next[2 * b + 1] = std::max(below[4 * b + 1], below[4 * b + 3]);
    }
    levels_.push_back(std::move(next));
  }
}

void ColumnSummary::Extend(const float* values, int count) {
  if (values != values_ || count < count_) {
    Build(values, count);
    return;
  }
  count_ = count;
  const int block = 1 << kFirstLevel;
  int blocks = count_ / block;
  if (blocks == 0) return;
  if (levels_.empty()) levels_.emplace_back();
  for (size_t b = levels_[0].size() / 2; b < static_cast<size_t>(blocks); ++b) {
    float lo = kNone, hi = -kNone;
    const float* v = values + b * block;
    for (int i = 0; i < block; ++i)
      if (DrawableValue(v[i])) {
        lo = std::min(lo, v[i]);
        hi = std::max(hi, v[i]);
      }
    levels_[0].push_back(lo);
    levels_[0].push_back(hi);
  }
  for (size_t level = 1; blocks >= 2; ++level) {
    blocks /= 2;
    if (levels_.size() <= level) levels_.emplace_back();
    const std::vector<float>& below = levels_[level - 1];
    std::vector<float>& here = levels_[level];
    for (size_t b = here.size() / 2; b < static_cast<size_t>(blocks); ++b) {
      here.push_back(std::min(below[4 * b], below[4 * b + 2]));
      here.push_back(std::max(below[4 * b + 1], below[4 * b + 3]));
    }
  }
}

void ColumnSummary::Scan(int begin, int end, SpanRange& r) const {
  for (int i = begin; i < end; ++i) {
    const float v = values_[i];
    if (!DrawableValue(v)) continue;
    if (!r.any) {
      r.low = r.high = v;
      r.any = true;
    } else {
      r.low = std::min(r.low, v);
      r.high = std::max(r.high, v);
    }
  }
}

SpanRange ColumnSummary::Range(int begin, int end) const {
  SpanRange r;
  if (values_ == nullptr) return r;
  begin = std::clamp(begin, 0, count_);
  end = std::clamp(end, begin, count_);
  const int block = 1 << kFirstLevel;
  const int b0 = (begin + block - 1) / block;  // first whole block
  const int b1 = end / block;                  // one past the last whole block
  if (b0 >= b1) {
    Scan(begin, end, r);
    return r;
  }
  Scan(begin, b0 * block, r);
  Scan(b1 * block, end, r);
  float lo = r.any ? r.low : kNone, hi = r.any ? r.high : -kNone;
  // Climb the levels: take an odd block at either end, then halve.
  int lb = b0, ub = b1;
  for (size_t level = 0; level < levels_.size() && lb < ub; ++level) {
    const std::vector<float>& v = levels_[level];
    if (lb & 1) {
      lo = std::min(lo, v[2 * static_cast<size_t>(lb)]);
      hi = std::max(hi, v[2 * static_cast<size_t>(lb) + 1]);
      ++lb;
    }
    if (ub & 1) {
      --ub;
      lo = std::min(lo, v[2 * static_cast<size_t>(ub)]);
      hi = std::max(hi, v[2 * static_cast<size_t>(ub) + 1]);
    }
    lb /= 2;
    ub /= 2;
  }
  if (lo <= hi) {
    r.low = lo;
    r.high = hi;
    r.any = true;
  }
  return r;
}

size_t ColumnSummary::MemoryBytes() const {
  size_t n = 0;
  for (const auto& l : levels_) n += l.size() * sizeof(float);
  return n;
}

}  // namespace tmv
