#include "gui/file_list_window.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>
#include <utility>

#include "gui/directory_dialog.h"
#include "gui/keyboard_access_qt.h"
#include "gui/persisted_state_qt.h"
#include "gui/qt_text.h"
#include "gui/window_look_qt.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/platform.h"
#include "support/text.h"

namespace velt {
namespace {

const QColor kFormColour{231, 231, 220};
const QColor kMissingNameColour{255, 0, 0};
// Maroon reads on the window's colour; on the red of a missing name black
// does (5.3:1, maroon would be 2.7:1).
const QColor kMissingNameText{0, 0, 0};
const QString kCaption = QStringLiteral("Выбор файлов ВЕЛТ для склеивания");
const QString kNoName = QStringLiteral("Не задано имя объединенного файла");
const QString kSavedIn = QStringLiteral("Файл будет сохранен в каталоге ");
const QString kFilter = QStringLiteral("Файлы dBase (*.dbf *.DBF)");
constexpr int kWindowWidth = 560;
constexpr int kListHeight = 190;

// Every typed or pasted letter becomes a capital; a text set by the program
// (the restored name) is not touched.
class UpperCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    for (QChar& c : input) c = c.toUpper();
    return Acceptable;
  }
};

// The list is drawn right to left so that the file names at the end of
// long paths stay in view; the paths themselves still read left to right.
class PathDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->direction = Qt::LeftToRight;
    option->displayAlignment = Qt::AlignRight | Qt::AlignVCenter;
    option->textElideMode = Qt::ElideLeft;
  }
  // As wide as the list, whatever the path's length: a long path is
  // shortened at its start instead of scrolling.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {1, QStyledItemDelegate::sizeHint(option, index).height()};
  }
};

// Several archives of a station are usually added together.
std::optional<QStringList> StandardFileDialog(QWidget* owner, const QString& initialDir,
                                              const QString& fileName, const QString& filter) {
  QFileDialog dialog(owner, QStringLiteral("Открыть"), initialDir, filter);
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!fileName.isEmpty()) dialog.selectFile(QFileInfo(fileName).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QStringList files;
  for (const QString& file : dialog.selectedFiles()) files << QDir::toNativeSeparators(file);
  return files;
}

// `marked`: the caption with "&" before its mnemonic letter.
QPushButton* Button(const QString& marked, const char* name, QWidget* parent) {
  auto* button = new QPushButton(QString(marked).remove(QLatin1Char('&')), parent);
  button->setObjectName(name);
  SetMnemonic(*button, marked);
  // Enter in the name field must not press a button.
  button->setAutoDefault(false);
  return button;
}

QLabel* Label(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

void MakeBold(QWidget& widget) {
  QFont font = widget.font();
  font.setBold(true);
  widget.setFont(font);
}

}  // namespace

// ---------------------------------------------------------------- ChooseFileDialog

ChooseFileDialog::ChooseFileDialog(QObject* parent) : QObject(parent), runner_(StandardFileDialog) {
  setObjectName("Choosefile");
}

bool ChooseFileDialog::Execute(QWidget* owner) {
  // Like the platform's dialog, it opens where the last chosen file lies.
  QString dir = fileName_.isEmpty() ? initialDir_ : QFileInfo(fileName_).absolutePath();
  std::optional<QStringList> chosen = runner_ ? runner_(owner, dir, fileName_, kFilter) : std::nullopt;
  if (chosen) chosen->removeAll(QString());
  if (!chosen || chosen->isEmpty()) return false;
  fileNames_ = *chosen;
  fileName_ = fileNames_.front();
  return true;
}

void ChooseFileDialog::SetRunner(Runner runner) {
  runner_ = [runner = std::move(runner)](QWidget* owner, const QString& initialDir, const QString& fileName,
                                         const QString& filter) -> std::optional<QStringList> {
    std::optional<QString> one = runner(owner, initialDir, fileName, filter);
    if (!one) return std::nullopt;
    return QStringList{*one};
  };
}

// ---------------------------------------------------------------- FileListWindow

FileListWindow::FileListWindow(QWidget* owner, ShowMessageFn showMessage)
    : QDialog(owner), showMessage_(std::move(showMessage)) {
  setObjectName("FileList");
  setWindowTitle(kCaption);
  // A fixed single border with only the system menu.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFont(WindowFont());
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kFormColour);
  setPalette(palette);
  setAutoFillBackground(true);
  chooseFile_ = new ChooseFileDialog(this);
  BuildControls();
  // As wide as its buttons need, at least the described width.
  setFixedSize(std::max(kWindowWidth, sizeHint().width()), sizeHint().height());
  StartUp();
}

FileListWindow::~FileListWindow() {
  // Its messages are not waited for any more: nobody would answer them.
  if (join_->Underway()) {
    queuedHost_->Cancel().Request();
    queuedHost_->Release();
    join_->Wait();
  }
  try {
    persistedState_.SaveOnDestroy();
  } catch (const std::exception& error) {
    ShowMessage(error.what());
  }
}

void FileListWindow::BuildControls() {
  listCaption_ = Label(QStringLiteral("Перечень файлов для объединения"), "Label3", this);
  MakeBold(*listCaption_);
  removeFile_ = Button(QStringLiteral("&Удалить текущую запись"), "DelCurrRec", this);
  clearList_ = Button(QStringLiteral("&Очистить список"), "ClearFL", this);

  fileList_ = new QListWidget(this);
  fileList_->setObjectName("FileListBox");
  fileList_->setSelectionMode(QAbstractItemView::SingleSelection);
  fileList_->setLayoutDirection(Qt::RightToLeft);
  fileList_->setItemDelegate(new PathDelegate(fileList_));
  fileList_->setTextElideMode(Qt::ElideLeft);
  fileList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QFont listFont(QStringLiteral("Courier New"));
  listFont.setStyleHint(QFont::TypeWriter);
  listFont.setPixelSize(14);
  listFont.setBold(true);
  fileList_->setFont(listFont);
  fileList_->setFixedHeight(kListHeight);

  nameCaption_ = Label(QStringLiteral("Имя объединенного файла:"), "Label1", this);
  outputName_ = new QLineEdit(this);
  outputName_->setObjectName("EditOutFilename");
  outputName_->setValidator(new UpperCaseValidator(outputName_));
  outputName_->installEventFilter(this);

  progressBar_ = new QProgressBar(this);
  progressBar_->setObjectName("FconcatPG");
  progressBar_->setRange(0, 100);
  QSizePolicy keepPlace = progressBar_->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);  // the window keeps its layout while the bar is hidden
  progressBar_->setSizePolicy(keepPlace);
  progressBar_->hide();

  savedInCaption_ = Label(kSavedIn, "Label2", this);
  outputPath_ = Label(kSavedIn, "OutFilename", this);
  MakeBold(*outputPath_);
  outputPath_->setWordWrap(true);
  outputPath_->setMinimumHeight(2 * outputPath_->fontMetrics().height() + 6);
  outputPath_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  outputPath_->setAutoFillBackground(true);
  QPalette labelPalette = outputPath_->palette();
  labelPalette.setColor(QPalette::WindowText, kMaroon);
  outputPath_->setPalette(labelPalette);
  SetPathLabelColour(kFormColour);

  addFile_ = Button(QStringLiteral("+ &Добавить файл..."), "AddFile", this);
  MakeBold(*addFile_);
  compose_ = Button(QStringLiteral("&Скомпоновать файлы и выйти"), "Compose", this);
  cancel_ = Button(QStringLiteral("Отменить и &выйти"), "CancExit", this);

  auto* listButtons = new QHBoxLayout;
  listButtons->addStretch(1);
  listButtons->addWidget(removeFile_);
  listButtons->addWidget(clearList_);
  auto* bottomButtons = new QHBoxLayout;
  bottomButtons->addWidget(addFile_);
  bottomButtons->addStretch(1);
  bottomButtons->addWidget(compose_);
  bottomButtons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 10, 12, 12);
  layout->addWidget(listCaption_);
  layout->addLayout(listButtons);
  layout->addWidget(fileList_);
  layout->addSpacing(4);
  layout->addWidget(nameCaption_);
  layout->addWidget(outputName_);
  layout->addWidget(progressBar_);
  layout->addWidget(savedInCaption_);
  layout->addWidget(outputPath_);
  layout->addSpacing(6);
  layout->addLayout(bottomButtons);

  connect(outputName_, &QLineEdit::textChanged, this, &FileListWindow::onOutputNameChanged);
  connect(addFile_, &QPushButton::clicked, this, &FileListWindow::onAddFileClicked);
  connect(removeFile_, &QPushButton::clicked, this, &FileListWindow::onRemoveFileClicked);
  connect(clearList_, &QPushButton::clicked, this, &FileListWindow::onClearListClicked);
  connect(compose_, &QPushButton::clicked, this, &FileListWindow::onComposeClicked);
  connect(cancel_, &QPushButton::clicked, this, &FileListWindow::reject);
}

void FileListWindow::StartUp() {
  persistedState_.SetFile(IniFilePath());
  persistedState_.SetSection("VELT_CONV");
  persistedState_.SetStoredProperties({"FileListBox.Items", "OutFilename.Caption", "Choosefile.InitialDir",
                                       "Choosefile.FileName", "EditOutFilename.Text"});
  onOutputNameChanged();
}

void FileListWindow::showEvent(QShowEvent* event) {
  if (!shownOnce_) {
    shownOnce_ = true;
    try {
      persistedState_.Restore();
    } catch (const std::exception& error) {
      ShowMessage(error.what());
    }
    SortList();  // a list edited in the ini file comes back in any order
    for (const std::string& file : filesOnShow_) {
      const std::vector<std::string> listed = Entries();
      if (std::none_of(listed.begin(), listed.end(),
                       [&](const std::string& entry) { return EqualIgnoringCase(entry, file); }))
        fileList_->addItem(ToQt(file));
    }
    if (!filesOnShow_.empty()) SortList();
    filesOnShow_.clear();
    // The first thing to do: add files to an empty list, else name the
    // joined table.
    (fileList_->count() == 0 ? static_cast<QWidget*>(addFile_) : outputName_)->setFocus();
    KeepOnScreenWhenShown(*this);
  }
  QDialog::showEvent(event);
}

void FileListWindow::done(int result) {
  if (join_->Underway()) {
    // The joined table must not lose its window under it: once the user
    // agrees, the join is cancelled and the window closes when it has ended.
    if (closePending_) return;
    const QString question = QStringLiteral("Идёт склеивание файлов. Прервать его и закрыть окно?");
    stopAsked_ = true;
    const bool stop = (askStop_ ? askStop_ : AskYesNo)(this, question);
    stopAsked_ = false;
    if (!stop || !isVisible()) return;
    // The join may have ended while the question was open.
    if (join_->Underway()) {
      closePending_ = true;
      queuedHost_->Cancel().Request();
      return;
    }
  }
  try {
    persistedState_.SaveOnClose();
  } catch (const std::exception& error) {
    ShowMessage(error.what());
  }
  QDialog::done(result);
}

bool FileListWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == outputName_ && event->type() == QEvent::MouseButtonDblClick) {
    onOutputNameDoubleClicked();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void FileListWindow::onOutputNameChanged() {
  // The name is tested as typed; only the path drops the blanks around it.
  QString name = outputName_->text();
  outputPath_->setText(name.isEmpty() ? kNoName : ToQt(JoinedFilePath(FromQt(name))));
  SetPathLabelColour(kFormColour);
}

void FileListWindow::onOutputNameDoubleClicked() { outputName_->clear(); }

// Every chosen file takes its place in the sorted list; one listed already
// is shown selected, and told once.
void FileListWindow::onAddFileClicked() {
  if (!chooseFile_->Execute(this)) return;
  bool repeated = false;
  for (const QString& path : chooseFile_->FileNames()) repeated = !AddToList(path) || repeated;
  if (repeated) showMessage_(VELT_ANSI("Выбранный файл уже указан в списке"), MessageKind::Warning);
}

bool FileListWindow::AddToList(const QString& path) {
  const std::string path1251 = FromQt(path);
  int place = fileList_->count();
  for (int i = 0; i < fileList_->count(); ++i) {
    const std::string listed = FromQt(fileList_->item(i)->text());
    if (EqualIgnoringCase(listed, path1251)) {
      fileList_->setCurrentRow(i);
      return false;
    }
    if (place == fileList_->count() && LessIgnoringCase(path1251, listed)) place = i;
  }
  fileList_->insertItem(place, path);
  return true;
}

void FileListWindow::onRemoveFileClicked() {
  int row = fileList_->currentRow();
  if (row < 0 || fileList_->selectedItems().isEmpty()) return;
  delete fileList_->takeItem(row);
}

void FileListWindow::onClearListClicked() { fileList_->clear(); }

void FileListWindow::onComposeClicked() {
  // A second join on the same output file must not start meanwhile.
  if (join_->Underway()) return;
  // The rule of the command line, before anything is asked or begun.
  if (auto problem = JoinTargetsProblem(Entries(), FromQt(outputName_->text()))) {
    ShowMessage(problem->Text());
    return;
  }
  if (!ReplaceAgreed()) return;
  compose_->setEnabled(false);
  queuedHost_->Cancel().Clear();
  joinError_ = nullptr;
  join_->Start(
      [this, entries = Entries(), name = FromQt(outputName_->text())] {
        try {
          JoinArchives(entries, name, *queuedHost_);
        } catch (...) {
          joinError_ = std::current_exception();
        }
      },
      [this] { JoinEnded(); });
}

// Back on the window's thread once the join's thread has ended.
void FileListWindow::JoinEnded() {
  // A question whether to stop the join has nothing left to ask.
  if (stopAsked_)
    for (QMessageBox* box : findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly))
      box->done(QMessageBox::No);
  compose_->setEnabled(true);
  if (joinError_) {
    // An engine error (the first entry cannot be opened): shown, the bar
    // stays where it was.
    try {
      std::rethrow_exception(std::exchange(joinError_, nullptr));
    } catch (const std::exception& error) {
      ShowMessage(error.what());
    } catch (...) {
      ShowMessage(VELT_ANSI("Непредвиденная ошибка, склеивание файлов отменено."));
    }
  }
  // A successful join closes the window with the Cancel result.
  if (std::exchange(closePending_, false) || !joinedPath_.empty()) reject();
}

// A joined table of an earlier join at the output path is replaced only once
// the user agrees.
bool FileListWindow::ReplaceAgreed() {
  const std::string name = Trim(FromQt(outputName_->text()));
  if (name.empty() || fileList_->count() == 0) return true;
  const std::string output = JoinedFilePath(name);
  if (!platform::FileExists(output)) return true;
  const QString question = QStringLiteral("Склеенный файл %1 уже есть. Заменить его?").arg(ToQt(output));
  return (askReplace_ ? askReplace_ : AskYesNo)(this, question);
}

void FileListWindow::ShowProgress(int position) {
  progressBar_->setValue(position);
  progressBar_->show();
}

void FileListWindow::HideProgress() { progressBar_->hide(); }

void FileListWindow::NameMissing() { SetPathLabelColour(kMissingNameColour); }

void FileListWindow::Joined(const std::string& outputPath) {
  joinedPath_ = outputPath;
  successDue_ = true;
}

void FileListWindow::SetPathLabelColour(const QColor& colour) {
  QPalette palette = outputPath_->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, colour == kMissingNameColour ? kMissingNameText : kMaroon);
  outputPath_->setPalette(palette);
}

void FileListWindow::SortList() {
  QStringList lines;
  for (int i = 0; i < fileList_->count(); ++i) lines << fileList_->item(i)->text();
  std::stable_sort(lines.begin(), lines.end(),
                   [](const QString& a, const QString& b) { return LessIgnoringCase(FromQt(a), FromQt(b)); });
  for (int i = 0; i < fileList_->count(); ++i) fileList_->item(i)->setText(lines[i]);
}

std::vector<std::string> FileListWindow::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(static_cast<std::size_t>(fileList_->count()));
  for (int i = 0; i < fileList_->count(); ++i) entries.push_back(FromQt(fileList_->item(i)->text()));
  return entries;
}

// The join's message after Joined is its success; one after a cancel that
// the user asked for says what became of the files; any other is an error.
void FileListWindow::ShowMessage(const std::string& text1251) {
  MessageKind kind = MessageKind::Error;
  if (std::exchange(successDue_, false))
    kind = MessageKind::Information;
  else if (queuedHost_->Cancel().Requested())
    kind = MessageKind::Warning;
  showMessage_(text1251, kind);
}

bool ShowFileListWindow(QWidget* owner, std::string& joinedPath1251, const ShowMessageFn& showMessage,
                        const std::vector<std::string>& initialFiles1251) {
  FileListWindow window(owner, showMessage);
  window.AddFilesOnShow(initialFiles1251);
  window.exec();
  if (window.JoinedPath().empty()) return false;
  joinedPath1251 = window.JoinedPath();
  return true;
}

}  // namespace velt
