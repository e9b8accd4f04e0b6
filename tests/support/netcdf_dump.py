#!/usr/bin/env python3
"""Reads a netCDF file with python3-netCDF4 (not the program's own library
calls) and prints what a user of the file would see, one fact a line:

    global NAME VALUE             a global attribute
    attr VARIABLE NAME VALUE      an attribute of a variable
    shape VARIABLE DTYPE DIMS     a variable's type and dimensions ("scalar")
    value VARIABLE V1,V2,...      its values (masked ones as "--")
    time VARIABLE ISO             each value of a time variable as a date, by cftime

Usage: netcdf_dump.py FILE.nc [VARIABLE...]   (all variables when none named)."""
import sys

import netCDF4
import numpy


def text(value):
    if hasattr(value, "tolist"):
        value = value.tolist()
    if isinstance(value, (list, tuple)):
        return ",".join(text(v) for v in value)
    return str(value)


def main():
    dataset = netCDF4.Dataset(sys.argv[1])
    for name in dataset.ncattrs():
        print("global", name, text(dataset.getncattr(name)))
    for name in sys.argv[2:] or list(dataset.variables):
        if name not in dataset.variables:
            print("missing", name)
            continue
        variable = dataset.variables[name]
        print("shape", name, variable.dtype, ",".join(variable.dimensions) or "scalar")
        for attribute in variable.ncattrs():
            print("attr", name, attribute, text(variable.getncattr(attribute)))
        values = variable[...]
        if numpy.ma.isMaskedArray(values):
            values = values.astype(object).filled("--")
        print("value", name, text(values))
        if "units" in variable.ncattrs() and " since " in variable.units:
            dates = netCDF4.num2date(variable[...], variable.units, getattr(variable, "calendar", "standard"))
            for date in [dates] if variable.ndim == 0 else dates:
                print("time", name, date.isoformat())


if __name__ == "__main__":
    main()
