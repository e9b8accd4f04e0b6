// The transform against the direct sum of its definition: a sign or a
// scaling the wrong way round moves every spectral line of the wave analysis.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/FourierTransform.h"

namespace tmv::test {
namespace {

std::vector<Complex> DirectSum(const std::vector<Complex>& x, int direction) {
  const int n = static_cast<int>(x.size());
  std::vector<Complex> out(x.size());
  for (int k = 0; k < n; ++k) {
    Complex s = 0.0;
    for (int j = 0; j < n; ++j) {
      const double angle = direction * 2.0 * M_PI * static_cast<double>((static_cast<long long>(j) * k) % n) / n;
      s += x[static_cast<size_t>(j)] * Complex(std::cos(angle), std::sin(angle));
    }
    out[static_cast<size_t>(k)] = direction == kTransformForward ? s / static_cast<double>(n) : s;
  }
  return out;
}

std::vector<Complex> Readings(int n) {
  std::vector<Complex> x(static_cast<size_t>(n));
  unsigned seed = 12345;
  for (auto& v : x) {
    seed = seed * 1103515245u + 12345u;
    const double re = static_cast<double>((seed >> 8) % 2001) / 1000.0 - 1.0;
    seed = seed * 1103515245u + 12345u;
    const double im = static_cast<double>((seed >> 8) % 2001) / 1000.0 - 1.0;
    v = Complex(re, im);
  }
  return x;
}

double MaxDifference(const std::vector<Complex>& a, const Complex* b) {
  double worst = 0.0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

TEST(FourierTransformTest, BothDirectionsMatchTheDirectSumOfTheirDefinition) {
  for (int n : {512, 1024, 2048, 4096, 1000}) {
    const std::vector<Complex> x = Readings(n);
    for (int direction : {kTransformForward, kTransformInverse}) {
      std::vector<Complex> fast = x;
      ASSERT_TRUE(TransformComplex(fast.data(), n, direction));
      EXPECT_LT(MaxDifference(DirectSum(x, direction), fast.data()), 1e-9 * (direction == kTransformForward ? 1 : n))
          << "n " << n << " direction " << direction;

      FourierPlan plan(n);
      for (int i = 0; i < n; ++i) plan.Data()[i] = x[static_cast<size_t>(i)];
      plan.Run(direction);
      EXPECT_LT(MaxDifference(fast, plan.Data()), 1e-12 * n) << "planned n " << n;
    }
  }
}

TEST(FourierTransformTest, ForwardThenInverseGivesTheReadingsBack) {
  std::vector<Complex> x = Readings(8192);
  const std::vector<Complex> original = x;
  TransformComplex(x.data(), 8192, kTransformForward);
  TransformComplex(x.data(), 8192, kTransformInverse);
  EXPECT_LT(MaxDifference(original, x.data()), 1e-12);
}

TEST(FourierTransformTest, ASineAtLineKShowsAsHalfItsAmplitudeAtLinesKAndNMinusK) {
  // cos(2 pi 5 j / n) = (e^{+} + e^{-}) / 2: the 1/n scaling of the forward
  // transform gives 0.5 at lines 5 and n - 5.
  const int n = 512;
  std::vector<Complex> x(n);
  for (int j = 0; j < n; ++j) x[static_cast<size_t>(j)] = std::cos(2.0 * M_PI * 5 * j / n);
  TransformComplex(x.data(), n, kTransformForward);
  EXPECT_NEAR(x[5].real(), 0.5, 1e-12);
  EXPECT_NEAR(x[n - 5].real(), 0.5, 1e-12);
  EXPECT_NEAR(std::abs(x[6]), 0.0, 1e-12);
}

TEST(FourierTransformTest, BadSizeOrDirectionIsRefusedAndLeavesTheData) {
  std::vector<Complex> x = Readings(8);
  const std::vector<Complex> original = x;
  EXPECT_FALSE(TransformComplex(x.data(), 0, kTransformForward));
  EXPECT_FALSE(TransformComplex(x.data(), 8, 0));
  EXPECT_FALSE(TransformComplex(nullptr, 8, kTransformForward));
  EXPECT_EQ(MaxDifference(original, x.data()), 0.0);
}

}  // namespace
}  // namespace tmv::test
