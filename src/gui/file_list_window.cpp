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
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QValidator>
#include <algorithm>

#include "gui/keyboard_access_qt.h"
#include "gui/persisted_state_qt.h"
#include "state/startup.h"
#include "gui/window_look_qt.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/user_messages.h"

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

QString ToQt(const std::string& text1251) { return QString::fromStdString(AnsiToUtf8(text1251)); }
std::string FromQt(const QString& text) { return Utf8ToAnsi(text.toStdString()); }

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

std::optional<QString> StandardFileDialog(QWidget* owner, const QString& initialDir, const QString& fileName,
                                          const QString& filter) {
  QFileDialog dialog(owner, QStringLiteral("Открыть"), initialDir, filter);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!fileName.isEmpty()) dialog.selectFile(QFileInfo(fileName).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(dialog.selectedFiles().first());
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

// ---------------------------------------------------------------- TChoosefile

TChoosefile::TChoosefile(QObject* parent) : QObject(parent), runner_(StandardFileDialog) {
  setObjectName("Choosefile");
}

bool TChoosefile::Execute(QWidget* owner) {
  // Like the platform's dialog, it opens where the last chosen file lies.
  QString dir = fileName_.isEmpty() ? initialDir_ : QFileInfo(fileName_).absolutePath();
  std::optional<QString> chosen = runner_ ? runner_(owner, dir, fileName_, kFilter) : std::nullopt;
  if (!chosen || chosen->isEmpty()) return false;
  fileName_ = *chosen;
  return true;
}

// ---------------------------------------------------------------- TFileList

TFileList::TFileList(QWidget* owner) : QDialog(owner) {
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
  Choosefile_ = new TChoosefile(this);
  BuildControls();
  // As wide as its buttons need, at least the described width.
  setFixedSize(std::max(kWindowWidth, sizeHint().width()), sizeHint().height());
  FormCreate();
}

TFileList::~TFileList() {
  try {
    FormStorageFL.SaveOnDestroy();
  } catch (const std::exception& error) {
    ShowErrorText(error.what());
  }
}

void TFileList::BuildControls() {
  Label3_ = Label(QStringLiteral("Перечень файлов для объединения"), "Label3", this);
  MakeBold(*Label3_);
  DelCurrRec_ = Button(QStringLiteral("&Удалить текущую запись"), "DelCurrRec", this);
  ClearFL_ = Button(QStringLiteral("&Очистить список"), "ClearFL", this);

  FileListBox_ = new QListWidget(this);
  FileListBox_->setObjectName("FileListBox");
  FileListBox_->setSelectionMode(QAbstractItemView::SingleSelection);
  FileListBox_->setLayoutDirection(Qt::RightToLeft);
  FileListBox_->setItemDelegate(new PathDelegate(FileListBox_));
  FileListBox_->setTextElideMode(Qt::ElideLeft);
  FileListBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QFont listFont(QStringLiteral("Courier New"));
  listFont.setStyleHint(QFont::TypeWriter);
  listFont.setPixelSize(14);
  listFont.setBold(true);
  FileListBox_->setFont(listFont);
  FileListBox_->setFixedHeight(kListHeight);

  Label1_ = Label(QStringLiteral("Имя объединенного файла:"), "Label1", this);
  EditOutFilename_ = new QLineEdit(this);
  EditOutFilename_->setObjectName("EditOutFilename");
  EditOutFilename_->setValidator(new UpperCaseValidator(EditOutFilename_));
  EditOutFilename_->installEventFilter(this);

  FconcatPG_ = new QProgressBar(this);
  FconcatPG_->setObjectName("FconcatPG");
  FconcatPG_->setRange(0, 100);
  QSizePolicy keepPlace = FconcatPG_->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);  // the window keeps its layout while the bar is hidden
  FconcatPG_->setSizePolicy(keepPlace);
  FconcatPG_->hide();

  Label2_ = Label(kSavedIn, "Label2", this);
  OutFilename_ = Label(kSavedIn, "OutFilename", this);
  MakeBold(*OutFilename_);
  OutFilename_->setWordWrap(true);
  OutFilename_->setMinimumHeight(2 * OutFilename_->fontMetrics().height() + 6);
  OutFilename_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  OutFilename_->setAutoFillBackground(true);
  QPalette labelPalette = OutFilename_->palette();
  labelPalette.setColor(QPalette::WindowText, kMaroon);
  OutFilename_->setPalette(labelPalette);
  SetPathLabelColour(kFormColour);

  AddFile_ = Button(QStringLiteral("+ &Добавить файл..."), "AddFile", this);
  MakeBold(*AddFile_);
  Compose_ = Button(QStringLiteral("&Скомпоновать файлы и выйти"), "Compose", this);
  CancExit_ = Button(QStringLiteral("Отменить и &выйти"), "CancExit", this);

  auto* listButtons = new QHBoxLayout;
  listButtons->addStretch(1);
  listButtons->addWidget(DelCurrRec_);
  listButtons->addWidget(ClearFL_);
  auto* bottomButtons = new QHBoxLayout;
  bottomButtons->addWidget(AddFile_);
  bottomButtons->addStretch(1);
  bottomButtons->addWidget(Compose_);
  bottomButtons->addWidget(CancExit_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 10, 12, 12);
  layout->addWidget(Label3_);
  layout->addLayout(listButtons);
  layout->addWidget(FileListBox_);
  layout->addSpacing(4);
  layout->addWidget(Label1_);
  layout->addWidget(EditOutFilename_);
  layout->addWidget(FconcatPG_);
  layout->addWidget(Label2_);
  layout->addWidget(OutFilename_);
  layout->addSpacing(6);
  layout->addLayout(bottomButtons);

  connect(EditOutFilename_, &QLineEdit::textChanged, this, &TFileList::EditOutFilenameChange);
  connect(AddFile_, &QPushButton::clicked, this, &TFileList::AddFileClick);
  connect(DelCurrRec_, &QPushButton::clicked, this, &TFileList::DelCurrRecClick);
  connect(ClearFL_, &QPushButton::clicked, this, &TFileList::ClearFLClick);
  connect(Compose_, &QPushButton::clicked, this, &TFileList::ComposeClick);
  connect(CancExit_, &QPushButton::clicked, this, &TFileList::reject);
}

void TFileList::FormCreate() {
  FormStorageFL.SetFile(IniFilePath());
  FormStorageFL.SetSection("VELT_CONV");
  FormStorageFL.SetStoredProperties({"FileListBox.Items", "OutFilename.Caption", "Choosefile.InitialDir",
                                     "Choosefile.FileName", "EditOutFilename.Text"});
  EditOutFilenameChange();
}

void TFileList::showEvent(QShowEvent* event) {
  if (!shownOnce_) {
    shownOnce_ = true;
    try {
      FormStorageFL.Restore();
    } catch (const std::exception& error) {
      ShowErrorText(error.what());
    }
    SortList();  // a list edited in the ini file comes back in any order
    for (const std::string& file : filesOnShow_) {
      const std::vector<std::string> listed = Entries();
      if (std::none_of(listed.begin(), listed.end(),
                       [&](const std::string& entry) { return EqualIgnoringCase(entry, file); }))
        FileListBox_->addItem(ToQt(file));
    }
    if (!filesOnShow_.empty()) SortList();
    filesOnShow_.clear();
    KeepOnScreenWhenShown(*this);
  }
  QDialog::showEvent(event);
}

void TFileList::done(int result) {
  try {
    FormStorageFL.SaveOnClose();
  } catch (const std::exception& error) {
    ShowErrorText(error.what());
  }
  QDialog::done(result);
}

bool TFileList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == EditOutFilename_ && event->type() == QEvent::MouseButtonDblClick) {
    EditOutFilenameDblClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TFileList::EditOutFilenameChange() {
  // The name is tested as typed; only the path drops the blanks around it.
  QString name = EditOutFilename_->text();
  OutFilename_->setText(name.isEmpty() ? kNoName : ToQt(JoinedFilePath(FromQt(name))));
  SetPathLabelColour(kFormColour);
}

void TFileList::EditOutFilenameDblClick() { EditOutFilename_->clear(); }

void TFileList::AddFileClick() {
  if (!Choosefile_->Execute(this)) return;
  const QString path = Choosefile_->FileName();
  const std::string path1251 = FromQt(path);
  int place = FileListBox_->count();
  for (int i = 0; i < FileListBox_->count(); ++i) {
    const std::string listed = FromQt(FileListBox_->item(i)->text());
    if (EqualIgnoringCase(listed, path1251)) {
      FileListBox_->setCurrentRow(i);
      Messages().ShowMessage(W("Выбранный файл уже указан в списке"));
      return;
    }
    if (place == FileListBox_->count() && LessIgnoringCase(path1251, listed)) place = i;
  }
  FileListBox_->insertItem(place, path);
}

void TFileList::DelCurrRecClick() {
  int row = FileListBox_->currentRow();
  if (row < 0 || FileListBox_->selectedItems().isEmpty()) return;
  delete FileListBox_->takeItem(row);
}

void TFileList::ClearFLClick() { FileListBox_->clear(); }

void TFileList::ComposeClick() {
  // A second press while the join processes events would start a second
  // join on the same output file.
  if (composing_) return;
  composing_ = true;
  Compose_->setEnabled(false);
  try {
    JoinArchives(Entries(), FromQt(EditOutFilename_->text()), *this);
  } catch (const std::exception& error) {
    // An engine error (the first entry cannot be opened): shown, the bar
    // stays where it was.
    ShowErrorText(error.what());
  }
  Compose_->setEnabled(true);
  composing_ = false;
}

void TFileList::ShowProgress(int position) {
  FconcatPG_->setValue(position);
  FconcatPG_->show();
}

void TFileList::HideProgress() { FconcatPG_->hide(); }

void TFileList::ProcessEvents() { QApplication::processEvents(); }

void TFileList::NameMissing() { SetPathLabelColour(kMissingNameColour); }

void TFileList::Joined(const std::string& outputPath) {
  joinedPath_ = outputPath;
  reject();  // the window closes with the Cancel result
}

void TFileList::SetPathLabelColour(const QColor& colour) {
  QPalette palette = OutFilename_->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, colour == kMissingNameColour ? kMissingNameText : kMaroon);
  OutFilename_->setPalette(palette);
}

void TFileList::SortList() {
  QStringList lines;
  for (int i = 0; i < FileListBox_->count(); ++i) lines << FileListBox_->item(i)->text();
  std::stable_sort(lines.begin(), lines.end(),
                   [](const QString& a, const QString& b) { return LessIgnoringCase(FromQt(a), FromQt(b)); });
  for (int i = 0; i < FileListBox_->count(); ++i) FileListBox_->item(i)->setText(lines[i]);
}

std::vector<std::string> TFileList::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(static_cast<std::size_t>(FileListBox_->count()));
  for (int i = 0; i < FileListBox_->count(); ++i) entries.push_back(FromQt(FileListBox_->item(i)->text()));
  return entries;
}

void TFileList::ShowErrorText(const std::string& text1251) { Messages().ShowMessage(text1251); }

bool ShowFileListWindow(QWidget* owner, std::string& joinedPath1251,
                        const std::vector<std::string>& initialFiles1251) {
  TFileList window(owner);
  window.AddFilesOnShow(initialFiles1251);
  window.exec();
  if (window.JoinedPath().empty()) return false;
  joinedPath1251 = window.JoinedPath();
  return true;
}

}  // namespace velt
