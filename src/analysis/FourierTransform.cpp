#include "analysis/FourierTransform.h"

#include <fftw3.h>

namespace tmv {

namespace {

fftw_complex* AsFftw(Complex* p) { return reinterpret_cast<fftw_complex*>(p); }

// FFTW's backward transform has the +i sign, its forward one the -i sign.
int FftwSign(int direction) { return direction == kTransformForward ? FFTW_BACKWARD : FFTW_FORWARD; }

void Scale(Complex* data, int n) {
  const double s = 1.0 / n;
  for (int i = 0; i < n; ++i) data[i] *= s;
}

}  // namespace

bool TransformComplex(Complex* data, int n, int direction) {
  if (n < 1 || data == nullptr || (direction != kTransformForward && direction != kTransformInverse)) return false;
  // FFTW_ESTIMATE plans without touching the data; UNALIGNED because the
  // caller's array need not have FFTW's own alignment.
  fftw_plan plan = fftw_plan_dft_1d(n, AsFftw(data), AsFftw(data), FftwSign(direction), FFTW_ESTIMATE | FFTW_UNALIGNED);
  if (plan == nullptr) return false;
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  if (direction == kTransformForward) Scale(data, n);
  return true;
}

struct FourierPlan::Plans {
  fftw_plan forward = nullptr;
  fftw_plan inverse = nullptr;
};

FourierPlan::FourierPlan(int n) : n_(n < 1 ? 1 : n), plans_(std::make_unique<Plans>()) {
  data_ = reinterpret_cast<Complex*>(fftw_malloc(sizeof(fftw_complex) * static_cast<size_t>(n_)));
  plans_->forward = fftw_plan_dft_1d(n_, AsFftw(data_), AsFftw(data_), FftwSign(kTransformForward), FFTW_ESTIMATE);
  plans_->inverse = fftw_plan_dft_1d(n_, AsFftw(data_), AsFftw(data_), FftwSign(kTransformInverse), FFTW_ESTIMATE);
  for (int i = 0; i < n_; ++i) data_[i] = 0.0;
}

FourierPlan::~FourierPlan() {
  if (plans_->forward) fftw_destroy_plan(plans_->forward);
  if (plans_->inverse) fftw_destroy_plan(plans_->inverse);
  fftw_free(data_);
}

void FourierPlan::Run(int direction) {
  if (direction == kTransformForward) {
    fftw_execute(plans_->forward);
    Scale(data_, n_);
  } else if (direction == kTransformInverse) {
    fftw_execute(plans_->inverse);
  }
}

}  // namespace tmv
