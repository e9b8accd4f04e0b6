#pragma once
// The widget faces of the data commands: the modeless "Data Retrieval"
// panel, the "Download" query (stop / suspend / keep logging), the
// write-format dialog, and the summary of the data that the main window
// shows until a graph draws it.
#include <QLabel>
#include <QWidget>

namespace tmv {
struct Shell;
class DialogPresenter;
class RetrievalPanel;
struct DownloadQueryChoice;
class WriteFormatDialog;
}  // namespace tmv

namespace tmv::qt {

// Shows the panel and returns 1 at once; the panel's hooks refresh and close it.
int ShowRetrievalPanelFace(RetrievalPanel& panel, QWidget* parent);
// kQueryButton6, kQueryButton7 or kQueryCancel.
int RunDownloadQueryFace(DownloadQueryChoice& choice, QWidget* parent);
int RunWriteFormatFace(WriteFormatDialog& dialog, QWidget* parent);

void RegisterRetrievalFaces(DialogPresenter& presenter, QWidget* parent);

}  // namespace tmv::qt
