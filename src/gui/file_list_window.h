#pragma once
// The composition window "Выбор файлов ВЕЛТ для склеивания": the user lists
// archive tables, names the joined table and joins them (archive_join.h).
// The list, the name, the path label and the open-file dialog's folder and
// file are remembered in the program's ini file between openings.
#include <QDialog>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "composition/archive_join.h"
#include "gui/persisted_state_qt.h"
#include "gui/queued_run_host_qt.h"
#include "gui/show_message.h"
#include "state/persisted_state.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace velt {

// The open-file dialog `Choosefile`. Its folder and file name are published
// as properties, so that the persisted state finds them as
// "Choosefile.InitialDir" and "Choosefile.FileName".
class ChooseFileDialog : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)
  Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)

 public:
  // Runs the dialog at `initialDir` with `fileName` preselected: the chosen
  // file, or nothing when cancelled. Tests put their own in.
  using Runner = std::function<std::optional<QString>(QWidget* owner, const QString& initialDir,
                                                      const QString& fileName, const QString& filter)>;

  // The same for a dialog that takes several files at once: all of them.
  using ManyRunner = std::function<std::optional<QStringList>(
      QWidget* owner, const QString& initialDir, const QString& fileName, const QString& filter)>;

  explicit ChooseFileDialog(QObject* parent);

  QString InitialDir() const { return initialDir_; }
  void SetInitialDir(const QString& dir) { initialDir_ = dir; }
  QString FileName() const { return fileName_; }
  void SetFileName(const QString& name) { fileName_ = name; }
  void SetRunner(Runner runner);
  void SetManyRunner(ManyRunner runner) { runner_ = std::move(runner); }

  // True when a file was chosen; FileNames then holds the chosen files,
  // FileName the first of them.
  bool Execute(QWidget* owner);
  const QStringList& FileNames() const { return fileNames_; }

 private:
  QString initialDir_;
  QString fileName_;
  QStringList fileNames_;
  ManyRunner runner_;
};

class FileListWindow : public QDialog, private JoinHost {
  Q_OBJECT

 public:
  explicit FileListWindow(QWidget* owner = nullptr, ShowMessageFn showMessage = MessageToStandardError);
  // Writes the persisted state when no close wrote it.
  ~FileListWindow() override;

  // The joined table's path after a successful join, else empty (1251).
  const std::string& JoinedPath() const { return joinedPath_; }
  ChooseFileDialog& ChooseFile() { return *chooseFile_; }
  // Asked before a join replaces an earlier joined table; true to go on.
  void SetReplaceQuestion(std::function<bool(QWidget*, const QString&)> ask) { askReplace_ = std::move(ask); }
  // Asked when the window is closed during a join; true to stop it.
  void SetStopQuestion(std::function<bool(QWidget*, const QString&)> ask) { askStop_ = std::move(ask); }
  // A join works on a thread of its own; the window closes after it when
  // a close was agreed to meanwhile.
  bool Joining() const { return join_->Underway(); }
  bool ClosePending() const { return closePending_; }
  // Files to list as the window opens (dropped on the main window): added
  // to the remembered list in its order, a file already listed (in any
  // letter case) left out.
  void AddFilesOnShow(std::vector<std::string> files1251) { filesOnShow_ = std::move(files1251); }

  // Handlers, named after their control and event.
  void StartUp();
  void onOutputNameChanged();
  void onOutputNameDoubleClicked();
  void onAddFileClicked();
  void onRemoveFileClicked();
  void onClearListClicked();
  void onComposeClicked();

  // Every close (the buttons, Esc, the close box, a successful join) passes
  // here and writes the persisted state first. During a join it asks
  // whether to stop it.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // JoinHost: the join drives the window through these (through the
  // queued host).
  void ShowProgress(int position) override;
  void HideProgress() override;
  void ShowMessage(const std::string& text1251) override;
  void NameMissing() override;
  void Joined(const std::string& outputPath) override;

  void BuildControls();
  void SetPathLabelColour(const QColor& colour);
  void SortList();
  // Puts the file in its sorted place; false when it is listed already.
  bool AddToList(const QString& path);
  std::vector<std::string> Entries() const;
  bool ReplaceAgreed();
  void JoinEnded();

  QLabel* listCaption_ = nullptr;
  QPushButton* removeFile_ = nullptr;
  QPushButton* clearList_ = nullptr;
  QListWidget* fileList_ = nullptr;
  QLabel* nameCaption_ = nullptr;
  QLineEdit* outputName_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* savedInCaption_ = nullptr;
  QLabel* outputPath_ = nullptr;
  QPushButton* addFile_ = nullptr;
  QPushButton* compose_ = nullptr;
  QPushButton* cancel_ = nullptr;
  ChooseFileDialog* chooseFile_ = nullptr;

  ShowMessageFn showMessage_;
  QtPersistedWindow persistedWindow_{*this, showMessage_};
  PersistedState persistedState_{persistedWindow_};
  bool shownOnce_ = false;
  bool closePending_ = false;  // a close agreed to during a join
  bool stopAsked_ = false;     // the question whether to stop it is open
  std::function<bool(QWidget*, const QString&)> askReplace_;
  std::function<bool(QWidget*, const QString&)> askStop_;
  std::string joinedPath_;
  bool successDue_ = false;  // the join's next message is its success
  std::vector<std::string> filesOnShow_;
  // The join's host on its thread and what ended it, when an error did.
  std::unique_ptr<QueuedJoinHost> queuedHost_ =
      std::make_unique<QueuedJoinHost>(static_cast<JoinHost&>(*this), *this);
  std::exception_ptr joinError_;
  // Last: joined first, while what the join works on is still there.
  std::unique_ptr<BackgroundRun> join_ = std::make_unique<BackgroundRun>(*this);
};

// Opens a new composition window owned by `owner` and waits for it to
// close. True after a successful join, with the joined table's path.
// `initialFiles` are listed besides the remembered ones.
bool ShowFileListWindow(QWidget* owner, std::string& joinedPath1251, const ShowMessageFn& showMessage,
                        const std::vector<std::string>& initialFiles1251 = {});

}  // namespace velt
