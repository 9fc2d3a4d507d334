#pragma once
// The main window: the program's start-up and shut-down, the choice of the
// archive and of the output folder, the conversion with its progress and
// cancel, the settings, mapping editor and composition windows, the support
// message and the event log view.
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "conversion/conversion_run.h"
#include "gui/message_box_qt.h"
#include "gui/persisted_state_qt.h"
#include "gui/queued_run_host_qt.h"
#include "gui/show_message.h"
#include "state/persisted_state.h"
#include "state/recent_archives.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTextEdit;

namespace velt {

// The dialogs and the shell call of the window; tests put their own in.
struct MainWindowDialogs {
  // A message box with one OK button.
  std::function<void(QWidget* owner, const QString& text)> showMessage;
  // The archive dialog, opened at `initialDir` with `fileName` preselected:
  // the confirmed file, or nothing when cancelled.
  std::function<std::optional<QString>(QWidget* owner, const QString& initialDir, const QString& fileName)>
      chooseArchive;
  // The output-folder dialog, opened at `startDir`: the confirmed folder, or
  // nothing when cancelled.
  std::function<std::optional<QString>(QWidget* owner, const QString& startDir)> chooseDirectory;
  // Shows a folder in the platform's file manager.
  std::function<void(const QUrl& folder)> openFolder;
  // A yes/no question; true for yes. Empty: a message box.
  std::function<bool(QWidget* owner, const QString& text)> ask;
};

MainWindowDialogs StandardDialogs();

struct MainWindowOptions {
  std::string appDir;  // --app-dir; empty: the executable's own folder
  MainWindowDialogs dialogs = StandardDialogs();
};

inline constexpr const char* kSupportPhone = "8 (351) 000-00-00";

class MainWindow : public QMainWindow, private RunHost {
  Q_OBJECT

 public:
  // Runs the start-up: paths, instructions, status line, mapping tables,
  // start line in the event log.
  explicit MainWindow(MainWindowOptions options = {});
  // Writes the persisted state when the close did not, then the stop line.
  ~MainWindow() override;

  bool Running() const { return running_; }
  bool LogShown() const { return logShown_; }

  // Files dropped on the window: one .dbf file becomes the archive, several
  // open the composition window with them listed; anything else is refused
  // with a message. Also what a drop event does.
  void DropFiles(const QStringList& paths);

 public Q_SLOTS:
  void onConvertClicked();
  void onAbortClicked();
  void onChooseArchiveClicked();
  void onChooseOutputDirClicked();
  void onBrowseOutputClicked();
  void onComposeArchivesClicked();
  void onMappingKindChosen(int kind);
  void onSupportClicked();
  void onSettingsClicked();
  void onExitClicked();
  void onShowLogClicked();
  void onUnmappedReportClicked();
  const UnmappedReport& LastRunUnmapped() const { return unmapped_; }
  void onProblemCallsClicked();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // RunHost: the conversion drives the window (through the queued host).
  void SetMappingMenuEnabled(bool enabled) override;
  void ShowProgress(bool visible, int position) override;
  void SetStatus(const std::string& text) override;
  void ShowMessage(const std::string& text) override { ShowMessageText(text); }
  // A warning goes to the notice line, under what it already says.
  void Warn(const std::string& text) override;
  // The list keeps the first calls only: an archive of a million failing
  // calls must not hold them all in memory.
  void PrepareProblems(ProblemCalls& problems) override { problems.SetKeptLimit(kShownProblemCalls); }
  static constexpr std::size_t kShownProblemCalls = 100000;

  void BuildControls();
  void BuildMenu();
  void FitToScreen();
  void StartUp();
  void RestorePlacement();
  void ShutDown();
  void LoadInstructions();
  void SetRunning(bool running);
  std::string ChosenArchive() const;
  std::string ChosenOutputDir() const;
  void UpdateConvertEnabled();
  std::optional<std::string> PreRunProblem() const;
  void RunEnded();
  // Asked when the window is closed during a run; true to stop it.
  bool AskToStopRun();
  // The notice beside the status line when the archive's header names the
  // other code page; hidden otherwise.
  void UpdateCodePageHint();
  void ShowRunSummary(const RunSummary& summary);
  void SetArchive(const QString& path);
  void CloseAfterComposition();
  // The menu of the last archives, as the list holds them when it opens.
  void FillRecentMenu();
  void ChooseRecentArchive(const QString& path);
  void SaveRecentArchives();

  // The application's general error handler: an error that leaves a handler
  // is shown in a message box and the program goes on.
  void Guarded(const std::function<void()>& action);
  void ShowMessageText(const std::string& text1251, MessageKind kind = MessageKind::Error);

  MainWindowOptions options_;
  // The windows this one opens tell the user through its message box.
  ShowMessageFn showMessage_ = [this](const std::string& text, MessageKind kind) {
    ShowMessageText(text, kind);
  };
  QtPersistedWindow persistedWindow_{*this, showMessage_};
  PersistedState persistedState_{persistedWindow_};
  RunTables tables_;
  // The run works on a thread of its own and drives the window through the
  // queued host; what it leaves is read once it has ended.
  std::unique_ptr<QueuedRunHost> queuedHost_ =
      std::make_unique<QueuedRunHost>(static_cast<RunHost&>(*this), *this);
  RunSummary runResult_;
  std::exception_ptr runError_;  // what ended the run, when an error did

  QString archiveFileName_;  // the archive dialog's last confirmed file in this run
  bool running_ = false;
  bool closePending_ = false;           // a close asked for during a run
  bool closeAfterComposition_ = false;  // a close that waits for the composition window
  bool stopAsked_ = false;              // the question whether to stop it is open
  bool shownOnce_ = false;
  bool saveFailed_ = false;
  bool logShown_ = false;
  double messageSeconds_ = 0;  // the running run's messages were open this long
  QString statusBefore_;       // the status line before the run, for an early end

  QLabel* archiveCaption_ = nullptr;
  QPushButton* chooseArchive_ = nullptr;
  QPushButton* composeArchives_ = nullptr;
  QLabel* archivePath_ = nullptr;
  QLabel* codePage_ = nullptr;
  QLabel* outputDirCaption_ = nullptr;
  QPushButton* chooseOutputDir_ = nullptr;
  QLabel* outputDirPath_ = nullptr;
  QPushButton* convert_ = nullptr;
  QPushButton* abort_ = nullptr;
  QPushButton* browseOutput_ = nullptr;
  QPushButton* showLog_ = nullptr;
  QLabel* progressMessage_ = nullptr;
  QLabel* codePageHint_ = nullptr;
  QPushButton* unmappedReport_ = nullptr;
  QPushButton* problemCalls_ = nullptr;
  // What the last run found, also one that an error ended.
  ProblemCalls problems_;
  UnmappedReport unmapped_;
  QString lastMappingExport_;  // the mapping editors' last CSV export
  QLabel* runSummary_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QGroupBox* instructions_ = nullptr;
  QTextEdit* instructionsBox_ = nullptr;
  QTextEdit* logDisplay_ = nullptr;
  QMenu* mappingMenu_ = nullptr;
  QAction* supportAction_ = nullptr;
  QAction* settingsAction_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  RecentArchives recentArchives_;
  // Last: joined first, while what the run works on is still there.
  std::unique_ptr<BackgroundRun> run_ = std::make_unique<BackgroundRun>(*this);
};

}  // namespace velt
