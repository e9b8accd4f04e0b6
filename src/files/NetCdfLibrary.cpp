#include "files/NetCdfLibrary.h"

#include "platform/SharedLibrary.h"

#ifndef TMV_NETCDF_LIBRARY
#define TMV_NETCDF_LIBRARY "libnetcdf.so"
#endif

namespace tmv {

namespace {

template <typename Call>
bool Take(const SharedLibrary& shared, const char* symbol, Call& call, std::string& error) {
  call = reinterpret_cast<Call>(shared.Symbol(symbol, error));
  return call != nullptr;
}

}  // namespace

bool LoadNetCdfFrom(const std::string& name, NetCdfLibrary& library, std::string& error) {
  std::string why;
  const SharedLibrary shared = SharedLibrary::Open(name, why);
  NetCdfLibrary l;
  const bool ok = shared.Loaded() && Take(shared, "nc_create", l.nc_create, why) &&
                  Take(shared, "nc_def_dim", l.nc_def_dim, why) && Take(shared, "nc_def_var", l.nc_def_var, why) &&
                  Take(shared, "nc_enddef", l.nc_enddef, why) && Take(shared, "nc_close", l.nc_close, why) &&
                  Take(shared, "nc_strerror", l.nc_strerror, why) &&
                  Take(shared, "nc_put_att_text", l.nc_put_att_text, why) &&
                  Take(shared, "nc_put_att_int", l.nc_put_att_int, why) &&
                  Take(shared, "nc_put_att_float", l.nc_put_att_float, why) &&
                  Take(shared, "nc_put_att_double", l.nc_put_att_double, why) &&
                  Take(shared, "nc_put_var_int", l.nc_put_var_int, why) &&
                  Take(shared, "nc_put_var_float", l.nc_put_var_float, why) &&
                  Take(shared, "nc_put_var_double", l.nc_put_var_double, why) &&
                  Take(shared, "nc_put_var_string", l.nc_put_var_string, why);
  if (!ok) {
    error = "the netCDF library " + name + " cannot be used (" + why + ")";
    return false;
  }
  library = l;
  return true;
}

bool LoadNetCdf(NetCdfLibrary& library, std::string& error) {
  return LoadNetCdfFrom(TMV_NETCDF_LIBRARY, library, error);
}

}  // namespace tmv
