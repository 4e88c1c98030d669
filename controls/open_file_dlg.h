#pragma once
// The Open dialog of the "convert chosen files" command: the framework's own
// (non-native) file dialog for several existing files, with a panel below it
// listing the channels of the raw file under the selection and drawing the
// channel picked in that list (the first one until another is picked). The
// panel only informs; it changes nothing of what the dialog returns.

#include <QFileDialog>
#include <QStringList>
#include <filesystem>
#include <string>
#include <vector>

class QTreeWidget;
class QWidget;

namespace korvel {

class CBackgroundReader;
class CWaveformView;

inline constexpr int kSummaryListId = 1026;
inline constexpr int kSummaryColumnCount = 5;
// UTF-8 headers of the summary list, in column order.
inline constexpr const char* kSummaryHeaders[kSummaryColumnCount] = {"Станция", "Канал", "Отс/с",
                                                                     "Время", "Длит."};

class OpenFileDlg : public QFileDialog {
  Q_OBJECT

 public:
  // initial_directory1251: code page 1251 text, as read from the ini file; an
  // empty text or one that names no folder opens the current directory.
  explicit OpenFileDlg(QWidget* parent = nullptr, const std::string& initial_directory1251 = {});

  // After exec() returned Accepted (empty otherwise), native: the full path
  // when one file was chosen, the dialog's folder when several were.
  const std::filesystem::path& PathName() const { return m_path_name; }
  // Every chosen file's full path, native, in the order the dialog returned them.
  const std::vector<std::filesystem::path>& ChosenPaths() const { return m_chosen; }

  QTreeWidget* SummaryList() const { return m_list; }
  QWidget* SummaryPanel() const { return m_panel; }
  CWaveformView* Waveform() const { return m_waveform; }
  // The summary and the waveform are read off the UI thread: runs the
  // event loop until both show the chosen file; whether they did in time.
  bool WaitForPreview(int milliseconds = 30000) const;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPanel();
  void ShowAllFiles();
  void AlignList();
  QList<int> ColumnsNeeded() const;
  int ListWidthNeeded() const;
  void SizeColumns();
  void SizeToContents();
  void FitFileColumns();
  void RefreshFromSelection();
  void ShowSummaryOf(const QString& path);
  void ShowPickedChannel();
  void TakeChosen(const QStringList& files);

  CBackgroundReader* m_summary_reader = nullptr;
  QWidget* m_panel = nullptr;
  QTreeWidget* m_list = nullptr;
  CWaveformView* m_waveform = nullptr;
  std::filesystem::path m_summary_path;  // the file the list shows
  QWidget* m_file_view =
      nullptr;            // the dialog's own file list, whose edges the summary list shares
  int m_list_height = 0;  // the summary list's, in dialog units
  bool m_columns_sized = false;
  std::filesystem::path m_path_name;
  std::vector<std::filesystem::path> m_chosen;
};

}  // namespace korvel
