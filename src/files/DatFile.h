#pragma once
// The DAT file: the file header in its DAT mode, then one text line per row
// with an optional date and time and one "%9.4f " value per column.
#include <functional>
#include <string>
#include <string_view>

#include "platform/Outcome.h"
#include "retrieval/DataSet.h"

namespace tmv {

struct AppState;

// The six-hertz row period: the double just above 1/6 the row times have
// always been computed with.
double SixHzPeriodSeconds();

// Rows first..last (inclusive) with the row-time rule: stamps at a row reset
// the base time, the running offset is corrected for accumulated error.
// `base` is the time of row `first` less `offset` seconds; stamps before
// `first` are not looked at. Columns of code 129 are left out.
// With `flush`, it is handed `out` whenever that has grown past a megabyte
// and is to write and empty it, so that a file can be written in pieces.
void AppendDatRows(std::string& out, const DataSet& data, int timeFormat, int first, int last,
                   const LoggerTime& base, double offset, const std::function<void(std::string&)>& flush = {});
// The whole DAT file of the current DataSet (CR LF line ends).
std::string DatFileText(const AppState& state);
// Through a temporary file; false when it cannot be written, with *error
// (when given) the errno of the failure.
bool WriteDatFile(AppState& state, const std::string& path, int* error = nullptr);

// Rows first..last as their own DAT file, asking for its name. 1 written.
int SaveScreenSegment(AppState& state, int first, int last);
// The text of that file (for a chosen name).
std::string SegmentFileText(const AppState& state, int first, int last);

// mode 1 asks for the file, mode 0 reads `path`; the outcome as ReadHexFile's.
Outcome ReadDatFile(AppState& state, int mode, const std::string& path = std::string());
// The same on the file's bytes already read (path is only shown and remembered).
Outcome ReadDatText(AppState& state, const std::string& path, std::string_view text);

// The UTF-16LE caption companion of a DAT header: byte-order mark, then each
// header line with its English caption, the second-language caption between
// "<" and ">", a tab and the values.
std::string CaptionFileBytes(const std::string& headerText);
// "x.dat" -> "x.chn.txt".
std::string CaptionFilePath(const std::string& datPath);

// The "TMV Logger - Write File Formats" dialog.
class WriteFormatDialog {
 public:
  static constexpr int kValuesOnly = 254;
  static constexpr int kTimeAndValues = 255;
  static constexpr int kDateTimeAndValues = 273;

  explicit WriteFormatDialog(AppState& state);
  static const char* Title() { return "TMV Logger - Write File Formats"; }
  static const char* Text(int control);
  int Checked() const { return checked_; }
  void Check(int control);
  // Stores the choice and writes the settings file; 1 when written.
  int Ok();
  void Cancel() {}

 private:
  AppState& state_;
  int checked_;
};

}  // namespace tmv
