#pragma once
// The main window's status line: five parts, left to right icon, message,
// units, connection and clock. The first boundary lies 15 pixels from the
// left edge, the next three 254, 216 and 139 pixels (times the screen's
// dots-per-inch scale) left of the right edge.
#include <QLabel>
#include <QStatusBar>
#include <array>

namespace tmv::qt {

class StatusLine : public QStatusBar {
 public:
  enum Part { kIcon = 0, kMessage, kUnits, kConnection, kClock, kPartCount };

  explicit StatusLine(double dpiScale, QWidget* parent = nullptr);

  void SetMessage(const QString& text, bool warning);
  void SetUnits(int indicator);  // 0 none, 1 engineering units, 2 binary format
  void SetConnection(const QString& text);
  void SetClock(const QString& text);

  QString PartText(int part) const;
  bool WarningShown() const { return warning_; }
  int UnitsShown() const { return units_; }
  // The x positions of the four boundaries for the present width.
  std::array<int, 4> Boundaries() const;
  QLabel* Part(int part) const { return labels_[static_cast<size_t>(part)]; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Place();
  void FitText(int part);

  double dpiScale_;
  std::array<QLabel*, kPartCount> labels_{};
  bool warning_ = false;
  int units_ = 0;
};

}  // namespace tmv::qt
