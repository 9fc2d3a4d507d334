#pragma once
// The output-folder dialog: a tree of folders and an edit line. The user
// picks a folder in the tree or types the name of one; a typed folder that
// does not exist is created (intermediate folders included) once the user
// agrees to "The specified directory does not exist. Create it?"; refusing
// keeps the dialog open. A name that cannot be taken (a file, a folder that
// cannot be created) is refused with a message that says why.
#include <QAbstractFileIconProvider>
#include <QDialog>
#include <QIcon>
#include <functional>

#include "gui/show_message.h"

class QFileSystemModel;
class QLineEdit;
class QTreeView;

namespace velt {

// A yes/no question in a message box titled as its owner, "No" by default;
// true for yes.
bool AskYesNo(QWidget* owner, const QString& text);

class DirectoryDialog : public QDialog {
  Q_OBJECT

 public:
  // Asks a yes/no question; true for yes.
  using Question = std::function<bool(QWidget* owner, const QString& text)>;
  // Shows a message; the program's message box unless a test puts its own in.
  using Tell = std::function<void(QWidget* owner, MessageKind kind, const QString& text)>;

  // Opens at `startDir`, against which a relative typed name is resolved.
  DirectoryDialog(QWidget* owner, const QString& startDir, Question askCreate = {});
  // The model goes before the icons it uses.
  ~DirectoryDialog() override;

  // The folder named in the edit line, as an absolute path.
  QString Directory() const;
  QLineEdit* EditLine() const { return edit_; }
  void SetTell(Tell tell) { tell_ = std::move(tell); }

 public slots:
  void accept() override;

 private:
  void FollowTree(const QModelIndex& index);

  // The same folder icon for every folder, without the desktop's theme.
  // The model asks for icons on its own thread: the icon is made here, on
  // the window's.
  class FolderIcons : public QAbstractFileIconProvider {
   public:
    FolderIcons();
    QIcon icon(IconType) const override { return folder_; }
    QIcon icon(const QFileInfo&) const override { return folder_; }

   private:
    QIcon folder_;
  };

  QString startDir_;
  FolderIcons icons_;
  bool scrolled_ = false;
  Question askCreate_;
  Tell tell_;
  QFileSystemModel* model_ = nullptr;
  QTreeView* tree_ = nullptr;
  QLineEdit* edit_ = nullptr;
};

}  // namespace velt
