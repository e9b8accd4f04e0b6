#pragma once
// The language dialog's face.
#include <QDialog>

namespace tmv {
struct LanguageDialog;
}

namespace tmv::qt {

class LanguageFace : public QDialog {
 public:
  LanguageFace(LanguageDialog& model, QWidget* parent);
};

// Runs the dialog modally for the model; 1 when accepted.
int RunLanguageFace(LanguageDialog& model, QWidget* parent);

}  // namespace tmv::qt
