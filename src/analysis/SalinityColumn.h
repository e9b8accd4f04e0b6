#pragma once
// Practical salinity over whole columns, for recomputing a long DataSet at
// once. Gives exactly what SalinityPss78 gives row by row, two rows at a time.
#include <cstddef>

namespace tmv {

//   conductivity : [mS/cm]; temperature : [degC, ITS-90]; seaPressure : [dBar]
//   salinity     : [PSS-78] out, n values; kInvalidValue where a row has none
void SalinityPss78Column(const float* conductivity, const float* temperature, const float* seaPressure,
                         float* salinity, size_t n);

}  // namespace tmv
