#pragma once
// The program's one window: stations from korvel2tqf.ini, their SITECHAN
// channels with a check box each, the time window, and the three conversion
// commands. It also stands in for the engine's host: the ticked channels, the
// status line, the command buttons and the wait cursor.

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/conversion_host.h"
#include "engine/coverage.h"
#include "engine/output_writer.h"
#include "engine/time_arithmetic.h"
#include "mainwindow/arrow_cursor_notifier.h"

class QLabel;
class QMessageBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace korvel {

class CDatabase;
class CHoverButton;
class CommandInputGate;
class CDateTimeEdit;
class CMaskEdit;
class CMultiSelectListBox;

class CMainDialog : public QDialog, public ConversionHost {
  Q_OBJECT

 public:
  CMainDialog(CDatabase& database, OutputWriter& writer, Notifier& notifier,
              std::string initial_station, QWidget* parent = nullptr);
  ~CMainDialog() override;

  // ConversionHost
  const SelectionList& Selection() const override { return m_selection; }
  bool ScanSubdirectories() const override { return m_scan_subdirectories != 0; }
  void SetStatusText(const std::string& text) override;
  // "<name>  (3 из 12)", and the window repaints: the work runs on this thread.
  void ExamineFile(const std::string& name, std::size_t position, std::size_t count) override;
  void DisableCommands() override;
  void EnableCommands() override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  // Message boxes show the arrow even under the wait cursor.
  Notifier& Operator() override { return m_command_messages; }
  // The operator answered "Да" to "Прервать конверсию?" (after Escape or the
  // close box), or SIGINT or SIGTERM came. Asked between the engine's steps,
  // it also lets the window take its events now and then, which is how
  // Escape and the close box reach it during a conversion.
  bool StopRequested() const override;

  // The window's own operations.
  void OnStationSelectionChange();
  void AddStationChannels(const std::string& station);
  // Runs `work`; a catalogue error it raises is shown to the operator.
  // Whether it ran to its end.
  bool ShowingDatabaseErrors(const std::function<void()>& work);
  void RemoveStationChannels(const std::string& station);
  void SelectAllStations();
  void DeselectAllStations();
  void TickAllChannels();
  void UntickAllChannels();
  bool CollectTickedChannels();
  void ReadTimeWindow(EpochSeconds& start, double& length) const;
  bool ReadBackFields();  // the data exchange: validates the start time
  // The same, and the length is refused too unless it is "hh:mm:ss" with two
  // digits each: a ":" typed over a digit, or a pasted or saved text, would
  // otherwise read as 0, which takes every time. For the commands that use
  // the time window.
  bool ReadBackTimeWindow();
  void CloseWindow();

  // "Покрытие данных...": what the catalogue's files cover of the time
  // window (a length of 0: all times) for the selected stations. Nothing,
  // with the operator told why, when no station is selected, the start time
  // is refused or the catalogue cannot be read.
  std::optional<CoverageReport> CoverageOfSelection();
  void ShowCoverage();
  // "Экспорт в miniSEED (SDS)...": the selected stations' own files over the
  // time window (a length of 0: all times) into a folder the operator
  // chooses, then a summary box. Built where libmseed is (KORVEL_WITH_SEED).
  void ExportSelectionToSds();
  // Each day file the export is about to write, with how many came before.
  virtual void ShowExportStep(const std::string& day_file, std::size_t done);

  void ConvertSelectedStationsCommand();
  void ConvertChosenFilesCommand();
  void ConvertChosenDirectoryCommand();

  std::string CurrentStation() const;
  // The station the file and folder commands work for: the caret's when it
  // is selected, else the first selected one; empty when none is.
  std::string CommandStation() const;
  // The selected stations in list order, each once.
  std::vector<std::string> SelectedStations() const;
  CMultiSelectListBox* StationList() const { return m_station_list; }
  QTreeWidget* ChannelList() const { return m_channel_list; }
  CDateTimeEdit* StartEdit() const { return m_start_edit; }
  CMaskEdit* LengthEdit() const { return m_length_edit; }
  QLabel* StatusLine() const { return m_status_line; }
  QPushButton* Button(int id) const;
  const std::vector<CHoverButton*>& HoverButtons() const { return m_hover_buttons; }

 protected:
  // The operator's choices; tests answer them without a dialog.
  // Paths come back native; the files' initial folder is an ini value (code
  // page 1251). The title names what the choice is for.
  virtual bool ChooseFiles(const std::string& initial_folder, const QString& title,
                           std::vector<std::filesystem::path>& paths,
                           std::filesystem::path& path_name);
  virtual std::filesystem::path ChooseDirectory(const QString& initial_folder,
                                                const QString& title);

  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // How a control follows the window when it grows beyond its least size.
  struct Growth {
    bool move_x = false, move_y = false, grow_w = false, grow_h = false;
  };
  struct Placed {
    QWidget* widget;
    QRect base;  // at the least size
    Growth growth;
  };
  void ShowMenuAtFocus();
  // Paints what changed while a command keeps this thread busy, and takes
  // the close box and Escape; the operator's other keys and clicks on the
  // window are dropped (CommandInputGate).
  void RepaintNow();
  // "<name><place>", the stop hint after it while a command runs; the long
  // name gives way in its middle. The window repaints.
  void ShowProgress(const std::string& name, QString place);
  // Escape or the close box while a conversion runs: "Прервать конверсию?",
  // asked while the work goes on, so that nothing it holds (a station's
  // lock, a catalogue transaction) waits for the operator. "Да" stops it at
  // its next safe point, and with `then_close` the window closes once the
  // command has ended.
  void OfferToStop(bool then_close);
  // The question goes once the command has come to its end or has something
  // to say: there is nothing left to stop, or the operator should read first.
  void WithdrawStopQuestion();
  // The end of a window command: the window closes when the close box's
  // stop or a stop signal asked for it.
  void CloseIfAsked();
  // SIGINT or SIGTERM: boxes open are closed, the conversion stops (no
  // question asked), then the window closes.
  void OnStopSignal();
  void BuildControls();
  void ConfigureHoverButtons();
  void ConnectCommands();
  int LoadStations();
  void PreselectStation(int index);
  void ShowAbout();
  bool OnChannelListMouse(QEvent* event);
  static int StateImage(const QTreeWidgetItem* item);
  static void SetStateImage(QTreeWidgetItem* item, int state);

  // The command's messages: the stop question is withdrawn first.
  class CommandMessages : public Notifier {
   public:
    explicit CommandMessages(CMainDialog& dialog) : m_dialog(dialog) {}
    void Message(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void Beep() override { m_dialog.m_operator.Beep(); }

   private:
    CMainDialog& m_dialog;
  };

  CDatabase& m_database;
  OutputWriter& m_writer;
  ArrowCursorNotifier m_operator;
  CommandMessages m_command_messages{*this};
  std::string m_initial_station;
  int m_scan_subdirectories = 0;
  SelectionList m_selection;
  // The stations whose channels the channel list holds, in the order they
  // were added (code page 1251): always those of the selected entries.
  std::vector<std::string> m_listed_stations;
  bool m_closing = false;
  bool m_busy = false;  // a command runs: the close box and Escape offer to stop it
  // What the window says while its command runs, and asks to stop it.
  struct Work {
    const char* busy_status;
    const char* stop_question;
  };
  static constexpr Work kConversionWork{"Конвертирование... Esc — Стоп", "Прервать конверсию?"};
  static constexpr Work kExportWork{"Экспорт в miniSEED... Esc — Стоп", "Прервать экспорт?"};
  Work m_work = kConversionWork;
  QPointer<QMessageBox> m_stop_question;  // "Прервать конверсию?" while on show
  bool m_stop_asked = false;              // the operator said "Да"
  bool m_close_after = false;             // ... to the close box's question
  std::unique_ptr<CommandInputGate> m_input_gate;  // while busy
  mutable QElapsedTimer m_since_events;            // since the engine's steps last took events
  // The folders last chosen for the coverage picture and the miniSEED tree.
  QString m_svg_folder;
  QString m_sds_folder;

  CDateTimeEdit* m_start_edit = nullptr;
  CMaskEdit* m_length_edit = nullptr;
  CMultiSelectListBox* m_station_list = nullptr;
  QTreeWidget* m_channel_list = nullptr;
  QLabel* m_status_line = nullptr;
  std::vector<QPushButton*> m_buttons;         // every push button, in tab order
  std::vector<CHoverButton*> m_hover_buttons;  // the eight icon buttons, in creation order
  QSize m_base_size;
  std::vector<Placed> m_growth;
};

}  // namespace korvel
