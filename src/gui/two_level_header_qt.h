#pragma once
// A horizontal grid header with two title rows. A "|" in a column title
// separates the upper from the lower level ("ВЕЛТ | Код"); neighbouring
// visible columns with the same upper level share one joined upper cell; a
// title without "|" fills both rows. The header also fits the columns to
// the grid's width, keeping the proportions of their base widths, but never
// narrower than a column's least width (its widest value) while all columns
// can have theirs; otherwise the width is shared equally, a column that
// needs less than its share keeping only what it needs.
#include <QHeaderView>
#include <QString>
#include <vector>

namespace velt {

class TwoLevelHeaderView : public QHeaderView {
  Q_OBJECT

 public:
  explicit TwoLevelHeaderView(QWidget* parent = nullptr);

  // Widths in pixels that the fitting keeps in proportion, one per column.
  void SetBaseWidths(std::vector<int> widths);
  // Widths in pixels that the columns need (their widest values), one per
  // column.
  void SetLeastWidths(std::vector<int> widths);
  // Spreads the header's width over the visible columns.
  void FitSections();

  struct Title {
    QString upper;  // empty: the title fills both rows
    QString lower;
  };
  static Title SplitTitle(const QString& title);

  QSize sizeHint() const override;

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int section) const override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Title TitleOf(int section) const;
  // The joined upper cell that the column belongs to, in viewport coordinates.
  QRect UpperGroupRect(int section, const QString& upper, int top, int height) const;
  void PaintCell(QPainter* painter, const QRect& rect, int section, const QString& text) const;

  std::vector<int> baseWidths_;
  std::vector<int> leastWidths_;
  bool fitting_ = false;
};

}  // namespace velt
