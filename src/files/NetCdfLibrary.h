#pragma once
// The netCDF C library, loaded at the first netCDF export instead of at
// program start: with HDF5, curl, TLS and Kerberos under it, loading it was
// most of the command-line tool's start-up time, and no logger command uses it.
#include <netcdf.h>

#include <string>

namespace tmv {

// The calls the netCDF export makes, named as in <netcdf.h>.
struct NetCdfLibrary {
  decltype(&::nc_create) nc_create = nullptr;
  decltype(&::nc_def_dim) nc_def_dim = nullptr;
  decltype(&::nc_def_var) nc_def_var = nullptr;
  decltype(&::nc_enddef) nc_enddef = nullptr;
  decltype(&::nc_close) nc_close = nullptr;
  decltype(&::nc_strerror) nc_strerror = nullptr;
  decltype(&::nc_put_att_text) nc_put_att_text = nullptr;
  decltype(&::nc_put_att_int) nc_put_att_int = nullptr;
  decltype(&::nc_put_att_float) nc_put_att_float = nullptr;
  decltype(&::nc_put_att_double) nc_put_att_double = nullptr;
  decltype(&::nc_put_var_int) nc_put_var_int = nullptr;
  decltype(&::nc_put_var_float) nc_put_var_float = nullptr;
  decltype(&::nc_put_var_double) nc_put_var_double = nullptr;
  decltype(&::nc_put_var_string) nc_put_var_string = nullptr;
};

// Takes the calls from the library the program was built against. Loading it
// again costs next to nothing: it stays loaded after the first time.
bool LoadNetCdf(NetCdfLibrary& library, std::string& error);

// Takes the calls from the library `name`; false, with `error` naming the
// library and what failed, when the library or one of the calls is missing.
bool LoadNetCdfFrom(const std::string& name, NetCdfLibrary& library, std::string& error);

}  // namespace tmv
