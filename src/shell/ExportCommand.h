#pragma once
// "&Export..." of the desktop program: the current DataSet to a netCDF-CF or
// CSV file chosen in a file dialog, with the logger clock's UTC offset asked
// for in a text box (left empty when the clock's zone is not known).
namespace tmv {

struct AppState;

// 1 exported; 0 cancelled, refused or failed (told in a message box).
int ExportDataCommand(AppState& state);

}  // namespace tmv
