#pragma once
// What the faces share about keys and screens: which button Enter presses,
// and room on a laptop screen.
#include <QWidget>

class QPushButton;
class QScrollArea;
class QDialog;

namespace tmv::qt {

// No push button of `window` answers Enter unless made the default later:
// a panel whose buttons stop, erase, write or throw away must be clicked.
void NoButtonAnswersEnter(QWidget* window);

// The one button Enter presses in `window` (a safe one), with the focus on it.
void EnterPresses(QPushButton* button);

// The largest dialog a 1024x768 screen shows whole, title bar and panel included.
inline constexpr int kMaximumDialogWidth = 1000;
inline constexpr int kMaximumDialogHeight = 700;

// Sizes `dialog`, whose contents `inner` scroll in `scroll`, to show all of
// them where they fit within the largest dialog, and to scroll otherwise.
void FitToScreen(QDialog* dialog, QScrollArea* scroll, QWidget* inner);

}  // namespace tmv::qt
