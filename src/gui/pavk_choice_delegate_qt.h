#pragma once
// The PAVK column's drop-down. Its cells always show a drop-down button;
// the editor is an editable list of the kind's PAVK choices (15 rows, the
// list resizable) that filters as the user types: every choice containing
// the typed text, whatever its letter case. The cell stores a choice's
// text, or nothing when the user clears it. Typed text that names no single
// choice is never taken silently: Enter shows the choices it fits (or says
// that it fits none) and keeps the editor open; leaving the cell reports it
// through Unresolved and keeps the stored value.
#include <QComboBox>
#include <QSize>
#include <QStringList>
#include <QStyledItemDelegate>
#include <optional>

#include "reference/pavk_choice.h"

class QAbstractItemView;

namespace velt {

class PavkChoiceDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  static constexpr int kVisibleRows = 15;

  explicit PavkChoiceDelegate(QAbstractItemView* view);

  void SetChoices(const QStringList& choices);
  const QStringList& Choices() const { return choices_; }

  // The choice that typed text stands for, by the rule of
  // PavkChoiceResolver::Resolve; none when it fits no choice or several.
  static std::optional<QString> ResolveChoice(const QStringList& choices, const QString& typed);
  // The choices that contain the typed text (ignoring case).
  static QStringList Candidates(const QStringList& choices, const QString& typed);

  // Opens the editor of `index` with its list dropped down, as a click on
  // the cell's button does.
  void DropDown(const QModelIndex& index);

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override;
  void setEditorData(QWidget* editor, const QModelIndex& index) const override;
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 Q_SIGNALS:
  // The editor closed on text that names no single choice; the cell kept
  // its value.
  void Unresolved(const QString& typed, const QStringList& candidates) const;

 protected:
  bool eventFilter(QObject* editor, QEvent* event) override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

 private:
  QRect ButtonRect(const QStyleOptionViewItem& option) const;
  void CommitAndClose(QComboBox* editor);
  bool ListKeyPressed(QAbstractItemView* list, int key);
  std::optional<QString> Resolve(const QString& typed) const;
  QStringList CandidatesOf(const QString& typed) const;

  QAbstractItemView* view_;
  QStringList choices_;
  PavkChoiceResolver resolver_;
  mutable bool dropDownOnOpen_ = false;
  // The list's size as the user last left it, kept for the next drop-down.
  mutable QSize listSize_;
};

// The editor: an editable combo box whose list can be resized with a grip.
class PavkComboBox : public QComboBox {
  Q_OBJECT

 public:
  PavkComboBox(QWidget* parent, QSize* rememberedListSize);
  void showPopup() override;
  // Drops the list down as a press on the combo box's own arrow does, so
  // that the release of the press that opened the editor leaves it down.
  void PressArrow();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QSize* listSize_;
  QWidget* grip_ = nullptr;
};

}  // namespace velt
