#pragma once
// The discrete Fourier transform of the wave analysis, with its own sign and
// scaling: forward (+1) X_k = (1/n) sum_j x_j e^{+2 pi i jk/n}, inverse (-1)
// x_j = sum_k X_k e^{-2 pi i jk/n} unscaled, so that the pair gives the input
// back. FFTW does the work in O(n log n).
#include <complex>
#include <memory>

namespace tmv {

using Complex = std::complex<double>;

constexpr int kTransformForward = +1;
constexpr int kTransformInverse = -1;

// In place over n complex values (any n >= 1; the analysis uses powers of
// two). False, with the data untouched, for n < 1 or another direction.
bool TransformComplex(Complex* data, int n, int direction);

// A transform of one size planned once and run many times over its own
// buffer: the analysis of thousands of bursts of one length.
class FourierPlan {
 public:
  explicit FourierPlan(int n);  // n >= 1
  ~FourierPlan();
  FourierPlan(const FourierPlan&) = delete;
  FourierPlan& operator=(const FourierPlan&) = delete;

  int Size() const { return n_; }
  Complex* Data() { return data_; }
  const Complex* Data() const { return data_; }
  // Transforms Data() in place; direction as TransformComplex.
  void Run(int direction);

 private:
  struct Plans;
  int n_ = 0;
  Complex* data_ = nullptr;
  std::unique_ptr<Plans> plans_;
};

}  // namespace tmv
