#include "analysis/SalinityColumn.h"

#include "analysis/SeawaterFormulas.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tmv {

#if defined(__SSE2__)
namespace {

// The operations of SalinityPss78 in the same order, so that each lane
// rounds exactly as the scalar function does.
inline __m128d Set(double v) { return _mm_set1_pd(v); }
inline __m128d Mul(__m128d a, __m128d b) { return _mm_mul_pd(a, b); }
inline __m128d Add(__m128d a, __m128d b) { return _mm_add_pd(a, b); }
inline __m128d Sub(__m128d a, __m128d b) { return _mm_sub_pd(a, b); }
inline __m128d Div(__m128d a, __m128d b) { return _mm_div_pd(a, b); }

inline __m128d LoadTwo(const float* p) {
  return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

inline __m128d Horner(__m128d x, const double* c, int count) {  // c[0] + c[1] x + ...
  __m128d v = Set(c[count - 1]);
  for (int k = count - 2; k >= 0; --k) v = Add(Set(c[k]), Mul(v, x));
  return v;
}

}  // namespace
#endif

void SalinityPss78Column(const float* conductivity, const float* temperature, const float* seaPressure,
                         float* salinity, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  static constexpr double kA[] = {0.0080, -0.1692, 25.3851, 14.0941, -7.0261, 2.7081};
  static constexpr double kB[] = {0.0005, -0.0056, -0.0066, -0.0375, 0.0636, -0.0144};
  static constexpr double kRt[] = {0.6766097, 2.00564e-2, 1.104259e-4, -6.9698e-7, 1.0031e-9};
  const __m128d invalid = Set(kInvalidValue);
  for (; i + 2 <= n; i += 2) {
    const __m128d x = LoadTwo(conductivity + i);
    const __m128d temp = LoadTwo(temperature + i);
    const __m128d p = LoadTwo(seaPressure + i);
    const __m128d t = Mul(Set(1.00024), temp);
    const __m128d r = Mul(x, Set(1.0 / 42.914));
    const __m128d e = Mul(p, Add(Set(2.070e-5), Mul(Add(Set(-6.370e-10), Mul(Set(3.989e-15), p)), p)));
    const __m128d d = Add(Add(Set(1.0), Mul(Add(Set(3.426e-2), Mul(Set(4.464e-4), t)), t)),
                          Mul(Sub(Set(4.215e-1), Mul(Set(3.107e-3), t)), r));
    const __m128d rT = Horner(t, kRt, 5);
    const __m128d rt = Div(Mul(r, d), Mul(Add(d, e), rT));
    const __m128d q = _mm_sqrt_pd(rt);
    const __m128d a = Horner(q, kA, 6);
    const __m128d b = Horner(q, kB, 6);
    const __m128d dt = Sub(t, Set(15.0));
    const __m128d s = Add(a, Mul(Div(dt, Add(Set(1.0), Mul(Set(0.0162), dt))), b));
    // Readings above the marker, a pressure that is a number, a finite result.
    const __m128d ok = _mm_and_pd(_mm_and_pd(_mm_cmpgt_pd(x, invalid), _mm_cmpgt_pd(temp, invalid)),
                                  _mm_and_pd(_mm_cmpeq_pd(p, p), _mm_cmpeq_pd(Sub(s, s), Set(0.0))));
    const __m128d out = _mm_or_pd(_mm_and_pd(ok, s), _mm_andnot_pd(ok, invalid));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(salinity + i), _mm_castps_si128(_mm_cvtpd_ps(out)));
  }
#endif
  for (; i < n; ++i) salinity[i] = static_cast<float>(SalinityPss78(conductivity[i], temperature[i], seaPressure[i], 0));
}

}  // namespace tmv
