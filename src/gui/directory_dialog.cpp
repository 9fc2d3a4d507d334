#include "gui/directory_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include "gui/message_box_qt.h"
#include "gui/qt_text.h"
#include "gui/window_look_qt.h"
#include "support/file_problem.h"

namespace velt {

namespace {

// Why `directory` could not be made: the problem of the nearest folder
// above it that exists (no right to write there, a file in the way).
QString NotCreated(const QString& directory) {
  QString above = directory;
  do {
    above = QFileInfo(above).absolutePath();
  } while (!QFileInfo::exists(above) && !QFileInfo(above).isRoot());
  QString text = QStringLiteral("Папку %1 не удалось создать.").arg(directory);
  if (auto problem = FolderWriteProblem(FromQt(QDir::toNativeSeparators(above))))
    text += QLatin1Char('\n') + ToQt(*problem);
  return text;
}

}  // namespace

bool AskYesNo(QWidget* owner, const QString& text) {
  return AskQuestion(owner, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

DirectoryDialog::DirectoryDialog(QWidget* owner, const QString& startDir, Question askCreate)
    : QDialog(owner),
      startDir_(startDir),
      askCreate_(askCreate ? std::move(askCreate) : AskYesNo),
      tell_(ShowMessageBox) {
  setObjectName("DirectoryDialog");
  setWindowTitle(QStringLiteral("Выбор каталога"));
  ApplyWindowLook(*this);

  edit_ = new QLineEdit(QDir::toNativeSeparators(startDir), this);
  edit_->setObjectName("DirectoryName");

  model_ = new QFileSystemModel(this);
  // One folder icon for all: asking the desktop's icon theme for every
  // folder kept the dialog from drawing for seconds.
  model_->setIconProvider(&icons_);
  model_->setOption(QFileSystemModel::DontUseCustomDirectoryIcons);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QString());
  tree_ = new QTreeView(this);
  tree_->setObjectName("Directories");
  tree_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->header()->hide();
  QModelIndex start = model_->index(startDir);
  for (QModelIndex above = start.parent(); above.isValid(); above = above.parent()) tree_->expand(above);
  tree_->setCurrentIndex(start);
  tree_->expand(start);
  // The folders load in the background; the start folder is brought into
  // view once, when its parent has been read, so that the tree does not
  // jump while the user already looks at it.
  const QString startParent = QFileInfo(QDir::cleanPath(startDir)).absolutePath();
  connect(model_, &QFileSystemModel::directoryLoaded, this, [this, startParent](const QString& loaded) {
    if (scrolled_ || QDir::cleanPath(loaded) != QDir::cleanPath(startParent)) return;
    scrolled_ = true;
    tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { FollowTree(current); });

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
  connect(buttons, &QDialogButtonBox::accepted, this, &DirectoryDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &DirectoryDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Имя каталога:"), this));
  layout->addWidget(edit_);
  layout->addWidget(new QLabel(QStringLiteral("Каталоги:"), this));
  layout->addWidget(tree_, 1);
  layout->addWidget(buttons);
  resize(520, 460);
}

DirectoryDialog::FolderIcons::FolderIcons()
    : folder_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)) {}

DirectoryDialog::~DirectoryDialog() {
  tree_->setModel(nullptr);
  delete model_;
}

void DirectoryDialog::FollowTree(const QModelIndex& index) {
  if (index.isValid()) edit_->setText(QDir::toNativeSeparators(model_->filePath(index)));
}

QString DirectoryDialog::Directory() const {
  QString typed = QDir::fromNativeSeparators(edit_->text().trimmed());
  return QDir::toNativeSeparators(QDir::cleanPath(QDir(startDir_).absoluteFilePath(typed)));
}

void DirectoryDialog::accept() {
  if (edit_->text().trimmed().isEmpty()) return;
  const QString directory = Directory();
  QFileInfo info(directory);
  if (!info.isDir()) {
    if (info.exists()) {
      tell_(this, MessageKind::Warning,
            QStringLiteral("%1 — это файл, а не папка. Выберите папку.").arg(directory));
      return;
    }
    if (!askCreate_(this, QStringLiteral("The specified directory does not exist. Create it?"))) return;
    if (!QDir().mkpath(directory)) {
      tell_(this, MessageKind::Error, NotCreated(directory));
      return;
    }
  }
  QDialog::accept();
}

}  // namespace velt
