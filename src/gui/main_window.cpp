// Before any Qt header: the run state has a member named like Qt's "slots"
// keyword.
#include "support/run_state.h"
//
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <exception>
#include <utility>
#include <vector>

#include "conversion/code_page_hint.h"
#include "conversion/run_targets.h"
#include "conversion/unmapped_report.h"
#include "gui/about_box.h"
#include "gui/directory_dialog.h"
#include "gui/file_list_window.h"
#include "gui/help_window.h"
#include "gui/keyboard_access_qt.h"
#include "gui/log_view_qt.h"
#include "gui/main_window.h"
#include "gui/mapping_editor_window.h"
#include "gui/message_box_qt.h"
#include "gui/problem_calls_window.h"
#include "gui/qt_text.h"
#include "gui/queued_run_host_qt.h"
#include "gui/settings_dialog.h"
#include "gui/unmapped_report_window.h"
#include "gui/window_look_qt.h"
#include "reference/mapping_preparation.h"
#include "state/ini_file.h"
#include "state/startup.h"
#include "support/code_page.h"
#include "support/error.h"
#include "support/file_problem.h"
#include "support/platform.h"

namespace velt {
namespace {

const QString kCaption = QStringLiteral("Конвертер архивных файлов ВЕЛТ (Версия 27.11.2018.01)");
const QString kNoArchive = QStringLiteral("Не выбран файл архива ВЕЛТ");
const QString kNoOutputDir = QStringLiteral("Не выбран каталог выгрузки");
const QString kOpenLog = QStringLiteral("Открыть журнал");
const QString kCloseLog = QStringLiteral("Закрыть журнал");
constexpr const char* kInstructionFile = "BottomMesg.txt";
constexpr int kWindowWidth = 780;
constexpr int kWindowHeight = 640;
// Room for the frame that the window manager adds (title bar and borders)
// before the window is shown and its real frame is known.
constexpr int kFrameAllowanceWidth = 8;
constexpr int kFrameAllowanceHeight = 32;
constexpr int kInstructionMinimumHeight = 90;
// The log view shows the end of a longer log; the rest stays in the file.
constexpr std::uint64_t kLogViewBytes = 2 * 1024 * 1024;

// The instruction box before any instructions are loaded.
const QString kPlaceholder = QStringLiteral(
    "<pre style=\"font-family: 'DejaVu Sans Mono', monospace; font-size: 13px;\">"
    "        __________________________\n"
    "       |   ___    ___   |   ___   \\___\n"
    "       |  |   |  |   |  |  | + |      \\\n"
    "       |  |___|  |___|  |  |___|  ВЕЛТ |\n"
    "       |________________|______________|\n"
    "          (O)                   (O)\n"
    "</pre>"
    "<p>Инструкция загружается из файла BottomMesg.txt рабочего каталога программы.</p>");

// The seven classifier mappings of the menu, in menu order.
// The texts carry their mnemonic as "&" before its letter.
struct MappingItem {
  const char* object;
  const char* marked;
  int kind;
};
constexpr std::array<MappingItem, 7> kMappingItems = {{
    {"reasdir", "&Повод для вызова (по классификатору ВЕЛТ \"Повод для вызова\")", 1},
    {"reas1dir", "Повод для вызова (по классификатору ВЕЛТ \"Причина &несчастного случая\")", 11},
    {"fromdir", "&Место вызова", 2},
    {"rsltdir", "&Результат выезда", 3},
    {"viddir", "&Вид вызова", 4},
    {"lpudir", "&ЛПУ", 5},
    {"tragdir", "При&чина несчастного случая", 6},
}};

QString Plain(const QString& marked) { return QString(marked).remove(QLatin1Char('&')); }

// A path label: a long path is shown shortened in its middle (the whole of
// it in the tooltip), so that it never widens the fixed window. Its text
// stays the whole path.
class PathLabel : public QLabel {
 public:
  PathLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

  QSize sizeHint() const override { return {120, QLabel::sizeHint().height()}; }
  QSize minimumSizeHint() const override { return {40, QLabel::sizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QRect area = contentsRect().adjusted(margin() + indent(), margin(), -margin() - indent(), -margin());
    QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    style()->drawItemText(&painter, area, alignment(), palette(), isEnabled(), shown, foregroundRole());
  }

  bool event(QEvent* event) override {
    if (event->type() == QEvent::ToolTip) {
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
      return true;
    }
    return QLabel::event(event);
  }
};

void Colour(QWidget& widget, const QColor& text, const QColor* background) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::WindowText, text);
  if (background != nullptr) {
    palette.setColor(QPalette::Window, *background);
    widget.setAutoFillBackground(true);
  }
  widget.setPalette(palette);
}

// The path and code-page labels: bold on their own background.
void MarkValueLabel(QLabel& label, const QColor& text) {
  QFont font = label.font();
  font.setBold(true);
  label.setFont(font);
  Colour(label, text, &kPathBackground);
  label.setContentsMargins(6, 4, 6, 4);
}

// `marked`: the caption with "&" before its mnemonic letter.
QPushButton* Button(const char* object, const QString& marked, QWidget* parent) {
  const QString text = Plain(marked);
  auto* button = new QPushButton(text, parent);
  button->setObjectName(object);
  if (text != marked) SetMnemonic(*button, marked);
  button->setAutoDefault(false);
  button->setMinimumHeight(28);
  button->setMinimumWidth(button->fontMetrics().horizontalAdvance(text) + 28);
  return button;
}

QLabel* Label(const char* object, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(object);
  return label;
}

void StandardMessage(QWidget* owner, const QString& text) {
  ShowMessageBox(owner, TakeNextMessageKind(owner), text);
}

std::optional<QString> StandardArchiveDialog(QWidget* owner, const QString& initialDir,
                                             const QString& fileName) {
  QFileDialog dialog(owner, QStringLiteral("Открыть"), initialDir,
                     QStringLiteral("Файлы dBase (*.dbf *.DBF)"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!fileName.isEmpty()) dialog.selectFile(QFileInfo(fileName).fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(dialog.selectedFiles().first());
}

std::optional<QString> StandardDirectoryDialog(QWidget* owner, const QString& startDir) {
  DirectoryDialog dialog(owner, startDir);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Directory();
}

void StandardOpenFolder(const QUrl& folder) {
  if (!QDesktopServices::openUrl(folder))
    ShowMessageBox(QApplication::activeWindow(), MessageKind::Warning,
                   QStringLiteral("Папку %1 не удалось открыть: не запускается ни один файловый менеджер. "
                                  "Откройте её вручную.")
                       .arg(QDir::toNativeSeparators(folder.toLocalFile())));
}

// A number as Russian text writes it: groups of three digits apart by a
// narrow no-break space.
QString Grouped(std::int64_t number) {
  QString text = QLocale(QLocale::Russian).toString(static_cast<qlonglong>(number));
  return text.replace(QChar(0x00A0), QChar(0x202F)).replace(QLatin1Char(' '), QChar(0x202F));
}

// Where a file dialog opens: the folder of the current choice while it
// exists, else `fallback`.
QString FolderOfChoice(const QString& chosen, bool chosenIsFolder, const QString& fallback) {
  if (chosen.isEmpty()) return fallback;
  const QFileInfo info(chosen);
  const QString folder = chosenIsFolder ? info.absoluteFilePath() : info.absolutePath();
  return QFileInfo(folder).isDir() ? QDir::toNativeSeparators(folder) : fallback;
}

}  // namespace

MainWindowDialogs StandardDialogs() {
  return {StandardMessage, StandardArchiveDialog, StandardDirectoryDialog, StandardOpenFolder, AskYesNo};
}

MainWindow::MainWindow(MainWindowOptions options) : options_(std::move(options)) {
  setObjectName("MainForm");
  setWindowTitle(kCaption);
  // A fixed single border with only the system menu: no minimise or
  // maximise box.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  ApplyWindowLook(*this);
  BuildMenu();
  BuildControls();
  FitToScreen();
  StartUp();
}

MainWindow::~MainWindow() {
  // The run's tables and host are this window's: it ends first.
  // Its messages are not waited for any more: nobody would answer them.
  if (running_) {
    queuedHost_->Cancel().Request();
    queuedHost_->Release();
    run_->Wait();
  }
  // The state goes to the file before the stop line; a failure already
  // reported at the close is not reported twice.
  try {
    persistedState_.SaveOnDestroy();
  } catch (const std::exception& error) {
    if (!saveFailed_) ShowMessageText(error.what());
  }
  ShutDown();
}

namespace {

// A menu of the menu bar, or an item of `menu`, with its mnemonic.
QMenu* AddMenu(QMenuBar& bar, const char* object, const QString& marked) {
  QMenu* menu = bar.addMenu(Plain(marked));
  menu->setObjectName(object);
  SetMnemonic(*menu->menuAction(), marked);
  return menu;
}

QAction* AddItem(QMenu& menu, const char* object, const QString& marked) {
  QAction* action = menu.addAction(Plain(marked));
  action->setObjectName(object);
  SetMnemonic(*action, marked);
  return action;
}

}  // namespace

void MainWindow::BuildMenu() {
  QMenu* fileMenu = AddMenu(*menuBar(), "prexit", QStringLiteral("&Файл"));
  settingsAction_ = AddItem(*fileMenu, "N4", QStringLiteral("&Настройки"));
  recentMenu_ = fileMenu->addMenu(QStringLiteral("Последние архивы"));
  recentMenu_->setObjectName("RecentArchives");
  SetMnemonic(*recentMenu_->menuAction(), QStringLiteral("&Последние архивы"));
  connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::FillRecentMenu);
  fileMenu->addSeparator();
  QAction* exitAction = AddItem(*fileMenu, "N5", QStringLiteral("&Выход"));
  connect(settingsAction_, &QAction::triggered, this, &MainWindow::onSettingsClicked);
  connect(exitAction, &QAction::triggered, this, &MainWindow::onExitClicked);

  mappingMenu_ = AddMenu(*menuBar(), "dirconv", QStringLiteral("&Перекодировка классификаторов"));
  for (const MappingItem& item : kMappingItems) {
    QAction* action = AddItem(*mappingMenu_, item.object, QString::fromUtf8(item.marked));
    const int kind = item.kind;
    connect(action, &QAction::triggered, this, [this, kind] { onMappingKindChosen(kind); });
  }

  QMenu* helpMenu = AddMenu(*menuBar(), "N2", QStringLiteral("&О программе"));
  QAction* guideAction = AddItem(*helpMenu, "HelpItem", QStringLiteral("&Справка"));
  guideAction->setShortcut(QKeySequence::HelpContents);
  guideAction->setShortcutContext(Qt::WindowShortcut);
  connect(guideAction, &QAction::triggered, this, [this] { ShowHelp(this); });
  supportAction_ = AddItem(*helpMenu, "N3", QStringLiteral("&Техподдержка"));
  connect(supportAction_, &QAction::triggered, this, &MainWindow::onSupportClicked);
  QAction* aboutAction = AddItem(*helpMenu, "AboutItem", QStringLiteral("&Версия программы"));
  connect(aboutAction, &QAction::triggered, this, [this] { ShowAboutBox(this); });
  EnableMenuKeyboard(*this);
}

// The described size where the screen has room for it, else what fits; the
// width stays, the height may be changed by the user, the instruction box
// taking the difference.
void MainWindow::FitToScreen() {
  QRect available(0, 0, kWindowWidth + kFrameAllowanceWidth, kWindowHeight + kFrameAllowanceHeight);
  if (QScreen* screen = this->screen()) available = screen->availableGeometry();
  const QSize least = minimumSizeHint();
  const int width = std::max(least.width(), std::min(kWindowWidth, available.width() - kFrameAllowanceWidth));
  const int height =
      std::max(least.height(), std::min(kWindowHeight, available.height() - kFrameAllowanceHeight));
  setMinimumSize(width, least.height());
  setMaximumSize(width, QWIDGETSIZE_MAX);
  resize(width, height);
}

void MainWindow::BuildControls() {
  auto* central = new QWidget(this);
  central->setObjectName("MainPanel");
  setCentralWidget(central);

  archiveCaption_ = Label("Label1", QStringLiteral("1. Выбрать файл(ы) архива вызовов ВЕЛТ"), central);
  chooseArchive_ = Button("ChooseVELTFile", QStringLiteral("&Выбрать один ..."), central);
  composeArchives_ = Button("ComposeVELTFiles", QStringLiteral("&Скомпоновать несколько..."), central);
  archivePath_ = new PathLabel(kNoArchive, central);
  archivePath_->setObjectName("velt_file");
  archivePath_->setProperty("placeholder", kNoArchive);
  MarkValueLabel(*archivePath_, kMaroon);
  codePage_ = Label("lbCodePage", QString(), central);
  codePage_->setAlignment(Qt::AlignCenter);
  codePage_->setFixedWidth(80);
  MarkValueLabel(*codePage_, kNavy);

  outputDirCaption_ =
      Label("outdirlable", QStringLiteral("2. Каталог выгрузки промежуточных файлов для ТОРАН"), central);
  chooseOutputDir_ = Button("ChooseOutPutDir", QStringLiteral("..."), central);
  chooseOutputDir_->setFixedWidth(44);
  // The button has no letter of its own: Alt+2 names the second row.
  chooseOutputDir_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_2));
  chooseOutputDir_->setToolTip(QStringLiteral("Выбрать каталог выгрузки (Alt+2)"));
  outputDirPath_ = new PathLabel(kNoOutputDir, central);
  outputDirPath_->setObjectName("outdirpath");
  outputDirPath_->setProperty("placeholder", kNoOutputDir);
  MarkValueLabel(*outputDirPath_, kMaroon);

  convert_ = Button("convert", QStringLiteral("&Конвертировать файл ВЕЛТ"), central);
  abort_ = Button("Abort", QStringLiteral("О&тменить"), central);
  // A cancel can only cancel a run that is going.
  abort_->setEnabled(false);
  convert_->setEnabled(false);  // until an archive and an output folder are chosen
  browseOutput_ = Button("BrouseOut", QStringLiteral("Открыть вы&х. каталог"), central);
  showLog_ = Button("showlog", kOpenLog, central);
  SetMnemonic(*showLog_, {QStringLiteral("Открыть &журнал"), QStringLiteral("Закрыть &журнал")});
  // The caption changes between the two texts; the button keeps its width.
  showLog_->setMinimumWidth(std::max(showLog_->fontMetrics().horizontalAdvance(kCloseLog),
                                     showLog_->fontMetrics().horizontalAdvance(kOpenLog)) +
                            32);

  progressMessage_ = Label("ProgressMsg", QString(), central);
  Colour(*progressMessage_, kNavy, nullptr);
  codePageHint_ = Label("codePageHint", QString(), central);
  codePageHint_->setWordWrap(true);
  Colour(*codePageHint_, kMaroon, nullptr);
  codePageHint_->hide();
  unmappedReport_ = Button("unmappedReport", QStringLiteral("Несопоставленные &значения..."), central);
  unmappedReport_->hide();  // until a run has something to report
  problemCalls_ = Button("problemCalls", QStringLiteral("Проблемные в&ызовы..."), central);
  problemCalls_->hide();
  runSummary_ = Label("runSummary", QString(), central);
  runSummary_->setWordWrap(true);
  runSummary_->setTextFormat(Qt::RichText);
  runSummary_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(runSummary_, &QLabel::linkActivated, this, &MainWindow::onBrowseOutputClicked);
  runSummary_->hide();
  progressBar_ = new QProgressBar(central);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setRange(0, 100);
  // Showing and hiding the bar must not move the boxes below it.
  QSizePolicy keep = progressBar_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  progressBar_->setSizePolicy(keep);

  instructions_ = new QGroupBox(
      QStringLiteral("Инструкция по дальнейшей загрузке в Toran файлов ВЕЛТ после конвертации:"), central);
  instructions_->setObjectName("ToranInstr");
  instructions_->setMinimumHeight(kInstructionMinimumHeight);
  instructionsBox_ = new QTextEdit(instructions_);
  instructionsBox_->setObjectName("ToranInstrBox");
  instructionsBox_->setReadOnly(true);
  instructionsBox_->setFrameShape(QFrame::NoFrame);
  instructionsBox_->setHtml(kPlaceholder);
  QPalette instrPalette = instructionsBox_->palette();
  instrPalette.setColor(QPalette::Base, kWindowColour);
  instructionsBox_->setPalette(instrPalette);
  // A Tab stop only while there is something to scroll in it.
  instructionsBox_->setFocusPolicy(Qt::NoFocus);
  connect(instructionsBox_->verticalScrollBar(), &QScrollBar::rangeChanged, instructionsBox_,
          [box = instructionsBox_](int, int maximum) {
            box->setFocusPolicy(maximum > 0 ? Qt::StrongFocus : Qt::NoFocus);
          });
  auto* instrLayout = new QVBoxLayout(instructions_);
  instrLayout->addWidget(instructionsBox_);

  logDisplay_ = new QTextEdit(central);
  logDisplay_->setObjectName("LogDisplay");
  logDisplay_->setReadOnly(true);
  logDisplay_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logDisplay_->setLineWrapMode(QTextEdit::WidgetWidth);
  logDisplay_->hide();

  auto* archiveButtons = new QHBoxLayout;
  archiveButtons->addWidget(chooseArchive_);
  archiveButtons->addWidget(composeArchives_);
  archiveButtons->addStretch();
  auto* archiveRow = new QHBoxLayout;
  archiveRow->addWidget(archivePath_, 1);
  archiveRow->addWidget(codePage_);
  auto* outputRow = new QHBoxLayout;
  outputRow->addWidget(chooseOutputDir_);
  outputRow->addWidget(outputDirPath_, 1);
  auto* commandRow = new QHBoxLayout;
  for (QPushButton* button : {convert_, abort_, browseOutput_, showLog_}) commandRow->addWidget(button);
  commandRow->addStretch();
  // The log view lies over the instruction frame, in the same cell.
  auto* boxes = new QGridLayout;
  boxes->addWidget(instructions_, 0, 0);
  boxes->addWidget(logDisplay_, 0, 0);

  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(12, 10, 12, 12);
  layout->setSpacing(6);
  layout->addWidget(archiveCaption_);
  layout->addLayout(archiveButtons);
  layout->addLayout(archiveRow);
  layout->addSpacing(6);
  layout->addWidget(outputDirCaption_);
  layout->addLayout(outputRow);
  layout->addSpacing(6);
  layout->addLayout(commandRow);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(progressMessage_, 1);
  statusRow->addWidget(unmappedReport_);
  statusRow->addWidget(problemCalls_);
  layout->addLayout(statusRow);
  layout->addWidget(runSummary_);
  layout->addWidget(codePageHint_);
  layout->addWidget(progressBar_);
  layout->addLayout(boxes, 1);

  connect(chooseArchive_, &QPushButton::clicked, this, &MainWindow::onChooseArchiveClicked);
  connect(composeArchives_, &QPushButton::clicked, this, &MainWindow::onComposeArchivesClicked);
  connect(chooseOutputDir_, &QPushButton::clicked, this, &MainWindow::onChooseOutputDirClicked);
  connect(convert_, &QPushButton::clicked, this, &MainWindow::onConvertClicked);
  connect(abort_, &QPushButton::clicked, this, &MainWindow::onAbortClicked);
  connect(browseOutput_, &QPushButton::clicked, this, &MainWindow::onBrowseOutputClicked);
  connect(showLog_, &QPushButton::clicked, this, &MainWindow::onShowLogClicked);
  connect(unmappedReport_, &QPushButton::clicked, this, &MainWindow::onUnmappedReportClicked);
  connect(problemCalls_, &QPushButton::clicked, this, &MainWindow::onProblemCallsClicked);
  setAcceptDrops(true);
}

void MainWindow::StartUp() {
  Guarded([this] {
    InitialisePaths(options_.appDir);
    persistedState_.SetFile(IniFilePath());
    persistedState_.SetSection("VELT_CONV");
    persistedState_.SetStoredProperties({"velt_file.Caption", "outdirpath.Caption", "lbCodePage.Caption"});
    persistedState_.SetRestoreHandler([this] { RestorePlacement(); });
    LoadInstructions();
    progressBar_->hide();
    progressBar_->setValue(0);
    progressMessage_->setText(QStringLiteral("Конвертация не выполнялась"));
    recentArchives_.Load(IniFile(IniFilePath()));
    PrepareAllMappingTablesSilently();
    LogApplicationStarted();
  });
}

// Resolved against the process's current folder, not the program's.
void MainWindow::LoadInstructions() {
  if (!platform::FileExists(kInstructionFile)) return;
  std::string bytes;
  if (!platform::ReadWholeFile(kInstructionFile, bytes)) return;
  instructionsBox_->clear();
  ShowRichOrPlainText(*instructionsBox_, bytes);
}

void MainWindow::RestorePlacement() {
  std::string page = FromQt(codePage_->text());
  State().inputCodePage = page.empty() ? "OEM" : page;
  codePage_->setText(ToQt(State().inputCodePage));
  UpdateCodePageHint();
  UpdateConvertEnabled();
}

void MainWindow::ShutDown() {
  try {
    LogApplicationStopped();
  } catch (const std::exception& error) {
    ShowMessageText(error.what());
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  if (!shownOnce_) {
    shownOnce_ = true;
    try {
      persistedState_.Restore();
    } catch (const std::exception& error) {
      ShowMessageText(error.what());
    }
    KeepOnScreenWhenShown(*this);
  }
  QMainWindow::showEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  for (QPointer<FileListWindow> composition : findChildren<FileListWindow*>()) {
    if (!composition->isVisible()) continue;
    // The composition window, and a join going on in it, are closed first
    // (it asks whether to stop the join); this window follows once it has.
    composition->close();
    closeAfterComposition_ = !composition || !composition->isVisible() || composition->ClosePending();
    return event->ignore();
  }
  if (running_) {
    // The run's tables must not go away under it: once the user agrees, the
    // run is cancelled and the window closes when it has ended.
    if (closePending_ || !AskToStopRun()) return event->ignore();
    // The run may have ended while the question was open: then the window
    // closes now, and no cancel is left for the next run.
    if (running_) {
      closePending_ = true;
      queuedHost_->Cancel().Request();
      return event->ignore();
    }
  }
  try {
    persistedState_.SaveOnClose();
  } catch (const std::exception& error) {
    saveFailed_ = true;
    ShowMessageText(error.what());
  }
  event->accept();
}

void MainWindow::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& error) {
    ShowMessageText(error.what());
  } catch (...) {
    ShowMessageText(VELT_ANSI("Непредвиденная ошибка."));
  }
}

void MainWindow::ShowMessageText(const std::string& text1251, MessageKind kind) {
  if (!options_.dialogs.showMessage) return;
  QElapsedTimer shown;
  shown.start();
  QWidget* owner = isVisible() ? this : nullptr;
  if (owner != nullptr) SetNextMessageKind(*owner, kind);
  options_.dialogs.showMessage(owner, ToQt(text1251));
  // The time a message of a run waits for the user is not the run's.
  if (running_) messageSeconds_ += static_cast<double>(shown.nsecsElapsed()) / 1e9;
}

bool MainWindow::AskToStopRun() {
  const QString question = QStringLiteral("Идёт конвертация. Прервать её и закрыть окно?");
  stopAsked_ = true;
  const bool stop = options_.dialogs.ask ? options_.dialogs.ask(this, question) : AskYesNo(this, question);
  stopAsked_ = false;
  return stop;
}

void MainWindow::SetMappingMenuEnabled(bool enabled) { mappingMenu_->menuAction()->setEnabled(enabled); }

void MainWindow::ShowProgress(bool visible, int position) {
  progressBar_->setValue(position);
  progressBar_->setVisible(visible);
}

void MainWindow::SetStatus(const std::string& text) { progressMessage_->setText(ToQt(text)); }

// While a run pumps events its start button is disabled, and so is every
// control that could change its archive or folder or open a modal window
// (which would hold the run until it closes); the cancel works only then.
void MainWindow::SetRunning(bool running) {
  running_ = running;
  for (QWidget* control : {static_cast<QWidget*>(convert_), static_cast<QWidget*>(composeArchives_),
                           static_cast<QWidget*>(chooseArchive_), static_cast<QWidget*>(chooseOutputDir_),
                           static_cast<QWidget*>(unmappedReport_), static_cast<QWidget*>(problemCalls_)})
    control->setEnabled(!running);
  settingsAction_->setEnabled(!running);
  supportAction_->setEnabled(!running);
  abort_->setEnabled(running);
  UpdateConvertEnabled();
}

// The archive and the output folder chosen, as the labels show them; empty
// while a label shows its placeholder.
std::string MainWindow::ChosenArchive() const {
  return archivePath_->text() == kNoArchive ? std::string() : FromQt(archivePath_->text());
}

std::string MainWindow::ChosenOutputDir() const {
  return outputDirPath_->text() == kNoOutputDir ? std::string() : FromQt(outputDirPath_->text());
}

void MainWindow::UpdateConvertEnabled() {
  convert_->setEnabled(!running_ && !ChosenArchive().empty() && !ChosenOutputDir().empty());
  // Only a folder that is there can be opened.
  browseOutput_->setEnabled(!ChosenOutputDir().empty() && QFileInfo(outputDirPath_->text()).isDir());
}

// What stops a run before it starts; the window stays as it is then.
std::optional<std::string> MainWindow::PreRunProblem() const {
  if (ChosenArchive().empty())
    return VELT_ANSI("Файл архива ВЕЛТ не выбран. Выберите его кнопкой «...» или перетащите в окно.");
  if (auto problem = FolderWriteProblem(ChosenOutputDir()))
    return VELT_ANSI("Таблицы результатов нельзя записать в папку вывода.") + "\n" + *problem;
  // The rule of the command line: nothing the run writes lands on what it
  // reads, or on a file that is no regular one or cannot be written.
  WriteTargets targets;
  AddRunFiles(targets, {ChosenArchive()}, ChosenOutputDir());
  targets.Reads(IniFilePath(), VELT_ANSI("файл настроек"));
  if (auto problem = targets.Check()) return problem->Text();
  return std::nullopt;
}

void MainWindow::onConvertClicked() {
  if (running_) return;
  if (auto problem = PreRunProblem()) {
    ShowMessageText(*problem, MessageKind::Warning);
    return;
  }
  statusBefore_ = progressMessage_->text();
  SetRunning(true);
  messageSeconds_ = 0;
  UpdateCodePageHint();
  runSummary_->hide();
  // The report of the last run goes; this run's is offered when it ends.
  unmappedReport_->hide();
  problemCalls_->hide();
  const std::string archive = ChosenArchive();
  const std::string output = ChosenOutputDir();
  runResult_ = RunSummary();
  runError_ = nullptr;
  queuedHost_->Cancel().Clear();
  // As the run's start says it, at once: its own calls arrive queued.
  SetMappingMenuEnabled(false);
  ShowProgress(true, 0);
  SetStatus(VELT_ANSI("Выполняется конвертация..."));
  run_->Start(
      [this, archive, output] {
        try {
          RunConversion(tables_, *queuedHost_, archive, output, &runResult_);
        } catch (...) {
          runError_ = std::current_exception();
        }
      },
      [this] { RunEnded(); });
}

// Back on the window's thread once the run's thread has ended.
void MainWindow::RunEnded() {
  // A question whether to stop the run has nothing left to ask.
  if (stopAsked_)
    for (QMessageBox* box : findChildren<QMessageBox*>(Qt::FindDirectChildrenOnly))
      box->done(QMessageBox::No);
  RunSummary& summary = runResult_;
  const bool endedBeforeFirstCall = summary.outcome == RunOutcome::EndedEarly && summary.recordsRead == 0 &&
                                    summary.nativesPath.empty() && summary.externalsPath.empty();
  if (runError_) {
    // Told as the general error handler tells it; what the run did until
    // then is in its summary, as after any other end.
    Guarded([this] { std::rethrow_exception(std::exchange(runError_, nullptr)); });
  } else if (endedBeforeFirstCall) {
    // A table or the archive that did not open was a check before the
    // run: its message said it all, the window is as it was.
    progressMessage_->setText(statusBefore_);
  }
  if (!endedBeforeFirstCall) {
    summary.seconds = std::max(0.0, summary.seconds - messageSeconds_);
    ShowRunSummary(summary);
  }
  // Also after a run that an error ended: what it met so far is reported.
  unmapped_ = std::move(summary.unmapped);
  problems_ = std::move(summary.problems);
  unmappedReport_->setVisible(!unmapped_.Empty());
  problemCalls_->setVisible(!problems_.Empty());
  SetRunning(false);
  // The keyboard is back on the start button, not on the cancel.
  convert_->setFocus(Qt::OtherFocusReason);
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

void MainWindow::onAbortClicked() {
  if (!running_) return;
  queuedHost_->Cancel().Request();
}

// A cancelled dialog leaves the file it last confirmed in this run of the
// program (or none), and that is what the label shows then.
void MainWindow::onChooseArchiveClicked() {
  Guarded([this] {
    // Where the archive shown lies, also one restored from the last run of
    // the program; the program's folder when none is shown.
    QString initialDir = ToQt(State().appDir);
    QString preselected = archiveFileName_;
    if (!archiveFileName_.isEmpty()) {
      initialDir = ToQt(platform::DirectoryPart(FromQt(archiveFileName_)));
    } else if (const QString shown = ToQt(ChosenArchive());
               !shown.isEmpty() && QFileInfo(shown).absoluteDir().exists()) {
      initialDir = ToQt(platform::DirectoryPart(FromQt(shown)));
      preselected = shown;
    }
    if (options_.dialogs.chooseArchive)
      if (std::optional<QString> chosen = options_.dialogs.chooseArchive(this, initialDir, preselected))
        archiveFileName_ = *chosen;
    SetArchive(archiveFileName_);
  });
}

void MainWindow::onChooseOutputDirClicked() {
  Guarded([this] {
    if (!options_.dialogs.chooseDirectory) return;
    if (std::optional<QString> chosen = options_.dialogs.chooseDirectory(
            this, FolderOfChoice(ToQt(ChosenOutputDir()), true, ToQt(platform::CurrentDirectory())))) {
      // A folder that takes no files is refused at once, not at the run.
      if (auto problem = FolderWriteProblem(FromQt(*chosen))) {
        ShowMessageText(VELT_ANSI("Таблицы результатов нельзя записать в папку вывода.") + "\n" + *problem);
        return;
      }
      outputDirPath_->setText(*chosen);
      UpdateConvertEnabled();
    }
  });
}

// Whatever the label holds: a folder that does not exist (the initial
// caption among them) shows nothing.
void MainWindow::onBrowseOutputClicked() {
  QString folder = outputDirPath_->text();
  if (folder.isEmpty() || !QFileInfo(folder).isDir() || !options_.dialogs.openFolder) return;
  options_.dialogs.openFolder(QUrl::fromLocalFile(QFileInfo(folder).absoluteFilePath()));
}

void MainWindow::onComposeArchivesClicked() {
  Guarded([this] {
    std::string joined;
    if (ShowFileListWindow(this, joined, showMessage_)) SetArchive(ToQt(joined));
  });
  CloseAfterComposition();
}

// A close of this window that waited for the composition window.
void MainWindow::CloseAfterComposition() {
  if (std::exchange(closeAfterComposition_, false)) close();
}

void MainWindow::onMappingKindChosen(int kind) {
  Guarded([this, kind] { ShowMappingEditor(this, kind, showMessage_, unmapped_, lastMappingExport_); });
}

void MainWindow::onSupportClicked() {
  ShowMessageText(FromQt(QStringLiteral("Телефон службы техподдержки ЗЕЛАН - ")) + kSupportPhone,
                  MessageKind::Information);
}

void MainWindow::onSettingsClicked() {
  Guarded([this] {
    SettingsDialog parform(this);
    if (parform.exec() == QDialog::Accepted) codePage_->setText(ToQt(State().inputCodePage));
    UpdateCodePageHint();
  });
}

void MainWindow::onExitClicked() { close(); }

// The log is read only when the view opens; a file that cannot be read
// leaves the view shown and LogShown as it was, so the next click tries the
// opening again.
void MainWindow::onShowLogClicked() {
  Guarded([this] {
    if (logShown_) {
      logDisplay_->hide();
      showLog_->setText(kOpenLog);
    } else {
      logDisplay_->show();
      logDisplay_->raise();
      showLog_->setText(kCloseLog);
      logDisplay_->clear();
      LoadLogTail(*logDisplay_, State().logFilePath, kLogViewBytes);
      // The latest runs are at the end.
      logDisplay_->moveCursor(QTextCursor::End);
    }
    logShown_ = !logShown_;
  });
}

void MainWindow::onUnmappedReportClicked() {
  Guarded([this] { ShowUnmappedReport(this, unmapped_); });
}

void MainWindow::onProblemCallsClicked() {
  Guarded([this] { ShowProblemCalls(this, problems_); });
}

// Another archive: what the status line and the summary said was of the
// last one.
void MainWindow::SetArchive(const QString& path) {
  if (path != archivePath_->text()) {
    progressMessage_->setText(QStringLiteral("Конвертация не выполнялась"));
    runSummary_->hide();
    unmappedReport_->hide();
    problemCalls_->hide();
  }
  archivePath_->setText(path);
  if (QFileInfo(path).isFile()) {
    recentArchives_.Add(FromQt(path));
    SaveRecentArchives();
  }
  UpdateCodePageHint();
  UpdateConvertEnabled();
}

namespace {

bool ArchiveExists(const std::string& path) { return QFileInfo(ToQt(path)).isFile(); }

}  // namespace

// Each archive by its path, newest first; one that is gone is marked, and
// choosing it offers to take it off the list.
void MainWindow::FillRecentMenu() {
  recentMenu_->clear();
  const auto entries = recentArchives_.Entries(ArchiveExists);
  for (const RecentArchives::Entry& entry : entries) {
    const QString path = ToQt(entry.path);
    QAction* item =
        recentMenu_->addAction(entry.missing ? path + QStringLiteral("  (файл не найден)") : path);
    connect(item, &QAction::triggered, this, [this, path] { ChooseRecentArchive(path); });
  }
  if (entries.empty()) recentMenu_->addAction(QStringLiteral("(список пуст)"))->setEnabled(false);
  recentMenu_->addSeparator();
  QAction* prune = AddItem(*recentMenu_, "RemoveMissingArchives", QStringLiteral("&Убрать ненайденные"));
  prune->setEnabled(std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.missing; }));
  connect(prune, &QAction::triggered, this, [this] {
    if (recentArchives_.RemoveMissing(ArchiveExists)) SaveRecentArchives();
  });
}

void MainWindow::ChooseRecentArchive(const QString& path) {
  if (running_) return;
  if (!QFileInfo(path).isFile()) {
    const QString question =
        QStringLiteral("Файл архива %1 не найден. Убрать его из списка последних архивов?").arg(path);
    if (options_.dialogs.ask ? options_.dialogs.ask(this, question) : AskYesNo(this, question)) {
      recentArchives_.Remove(FromQt(path));
      SaveRecentArchives();
    }
    return;
  }
  archiveFileName_ = path;
  SetArchive(path);
}

// Quietly: a settings file that takes no writes is told once, when the
// window closes and writes its state there.
void MainWindow::SaveRecentArchives() {
  try {
    IniFile ini(IniFilePath());
    recentArchives_.Save(ini);
  } catch (const Error&) {
  }
}

void MainWindow::UpdateCodePageHint() {
  std::optional<std::string> hint;
  if (QFileInfo(archivePath_->text()).isFile())
    hint = CodePageHintForFile(FromQt(archivePath_->text()), State().inputCodePage);
  codePageHint_->setText(hint ? ToQt(*hint) : QString());
  codePageHint_->setVisible(hint.has_value());
}

void MainWindow::Warn(const std::string& text) {
  const QString said = codePageHint_->text();
  codePageHint_->setText(said.isEmpty() ? ToQt(text) : said + "\n" + ToQt(text));
  codePageHint_->show();
}

// After a completed run the summary offers the output folder, one click
// away.
void MainWindow::ShowRunSummary(const RunSummary& s) {
  const QString text = QStringLiteral(
                           "Прочитано записей: %1; записано: %2 (свой регион), %3 (другие регионы); "
                           "пропущено по профилю: %4; вызовов с ошибками в журнале: %5; время: %6 с")
                           .arg(Grouped(s.recordsRead), Grouped(s.nativesWritten),
                                Grouped(s.externalsWritten), Grouped(s.skipped), Grouped(s.callsLogged),
                                QLocale(QLocale::Russian).toString(s.seconds, 'f', 2));
  const bool offerFolder = s.outcome == RunOutcome::Completed && browseOutput_->isEnabled();
  runSummary_->setText(offerFolder
                           ? text.toHtmlEscaped() + QStringLiteral("&nbsp; <a href=\"output\">Открыть "
                                                                   "папку с результатами</a>")
                           : text.toHtmlEscaped());
  runSummary_->show();
}

namespace {

bool IsTableFile(const QString& path) {
  return QFileInfo(path).isFile() && path.endsWith(QStringLiteral(".dbf"), Qt::CaseInsensitive);
}

}  // namespace

void MainWindow::DropFiles(const QStringList& paths) {
  if (running_ || paths.isEmpty()) return;
  if (!std::all_of(paths.begin(), paths.end(), IsTableFile)) {
    ShowMessageText(FromQt(QStringLiteral("Перетащите файлы архива ВЕЛТ с расширением .dbf")),
                    MessageKind::Warning);
    return;
  }
  if (paths.size() == 1) {
    archiveFileName_ = QDir::toNativeSeparators(paths.front());
    SetArchive(archiveFileName_);
    return;
  }
  Guarded([this, &paths] {
    std::vector<std::string> files;
    for (const QString& path : paths) files.push_back(FromQt(QDir::toNativeSeparators(path)));
    std::string joined;
    if (ShowFileListWindow(this, joined, showMessage_, files)) SetArchive(ToQt(joined));
  });
  CloseAfterComposition();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!running_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
  event->acceptProposedAction();
  DropFiles(paths);
}

}  // namespace velt
