#include "gui/two_level_header_qt.h"

#include <QAbstractItemModel>
#include <QPainter>
#include <QStyleOptionHeader>
#include <algorithm>

namespace velt {

TwoLevelHeaderView::TwoLevelHeaderView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  setSectionsClickable(false);
  setHighlightSections(false);
  setStretchLastSection(false);
  setSectionResizeMode(QHeaderView::Interactive);
  // A resized column moves the joined upper cell that spans it and its
  // neighbours, which lie outside the part Qt repaints.
  connect(this, &QHeaderView::sectionResized, this, [this] { viewport()->update(); });
}

void TwoLevelHeaderView::SetBaseWidths(std::vector<int> widths) {
  baseWidths_ = std::move(widths);
  FitSections();
}

void TwoLevelHeaderView::SetLeastWidths(std::vector<int> widths) {
  leastWidths_ = std::move(widths);
  FitSections();
}

void TwoLevelHeaderView::FitSections() {
  if (fitting_ || count() == 0 || baseWidths_.empty()) return;
  const int available = width();
  if (available <= 0) return;
  fitting_ = true;
  auto base = [&](int i) { return i < static_cast<int>(baseWidths_.size()) ? baseWidths_[i] : 0; };
  auto least = [&](int i) {
    const int wanted = i < static_cast<int>(leastWidths_.size()) ? leastWidths_[i] : 0;
    return std::max(wanted, minimumSectionSize());
  };
  std::vector<int> columns;
  int leastTotal = 0;
  for (int i = 0; i < count(); ++i) {
    if (isSectionHidden(i) || base(i) <= 0) continue;
    columns.push_back(i);
    leastTotal += least(i);
  }
  // When every column fits its widest value, the width is shared in
  // proportion to the base widths, a column below its least width getting
  // that. When they do not all fit, the width is shared equally, a column
  // that needs less than its share getting only what it needs; the others
  // show the start of their values (and the whole in the tooltip).
  const bool allFit = leastTotal <= available;
  auto weight = [&](int i) { return allFit ? base(i) : 1; };
  std::vector<bool> fixed(static_cast<std::size_t>(count()), false);
  int rest = available, restWeight = 0, lastShared = -1;
  for (bool changed = true; changed;) {
    changed = false;
    rest = available;
    restWeight = 0;
    for (int i : columns) {
      if (fixed[i])
        rest -= least(i);
      else
        restWeight += weight(i);
    }
    for (int i : columns) {
      if (fixed[i] || restWeight <= 0) continue;
      const bool belowLeast = weight(i) * std::max(rest, 0) / restWeight < least(i);
      if (belowLeast == allFit) fixed[i] = changed = true;
    }
  }
  for (int i : columns)
    if (!fixed[i]) lastShared = i;
  int used = 0;
  for (int i : columns) {
    int size = least(i);
    if (!fixed[i]) {
      // The last shared column takes what rounding left over, so the row
      // ends flush.
      size = i == lastShared ? rest - used : weight(i) * rest / restWeight;
      used += size;
    }
    resizeSection(i, size);
  }
  fitting_ = false;
}

TwoLevelHeaderView::Title TwoLevelHeaderView::SplitTitle(const QString& title) {
  const qsizetype bar = title.indexOf(QLatin1Char('|'));
  if (bar < 0) return {QString(), title.trimmed()};
  return {title.left(bar).trimmed(), title.mid(bar + 1).trimmed()};
}

TwoLevelHeaderView::Title TwoLevelHeaderView::TitleOf(int section) const {
  if (model() == nullptr) return {};
  return SplitTitle(model()->headerData(section, orientation(), Qt::DisplayRole).toString());
}

QSize TwoLevelHeaderView::sizeHint() const {
  QSize size = QHeaderView::sizeHint();
  QStyleOptionHeader option;
  initStyleOption(&option);
  option.text = QStringLiteral("Xy");
  const int row = style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this).height();
  size.setHeight(std::max(2 * row, size.height()));
  return size;
}

QRect TwoLevelHeaderView::UpperGroupRect(int section, const QString& upper, int top, int height) const {
  int first = visualIndex(section);
  int last = first;
  auto sameUpper = [&](int visual) {
    const int logical = logicalIndex(visual);
    return !isSectionHidden(logical) && TitleOf(logical).upper == upper;
  };
  auto previousVisible = [&](int visual) {
    for (--visual; visual >= 0 && isSectionHidden(logicalIndex(visual)); --visual) {
    }
    return visual;
  };
  auto nextVisible = [&](int visual) {
    for (++visual; visual < count() && isSectionHidden(logicalIndex(visual)); ++visual) {
    }
    return visual;
  };
  for (int v = previousVisible(first); v >= 0 && sameUpper(v); v = previousVisible(v)) first = v;
  for (int v = nextVisible(last); v < count() && sameUpper(v); v = nextVisible(v)) last = v;

  const int left = sectionViewportPosition(logicalIndex(first));
  const int right = sectionViewportPosition(logicalIndex(last)) + sectionSize(logicalIndex(last));
  return QRect(left, top, right - left, height);
}

void TwoLevelHeaderView::PaintCell(QPainter* painter, const QRect& rect, int section,
                                   const QString& text) const {
  QStyleOptionHeader option;
  initStyleOption(&option);
  option.rect = rect;
  option.section = section;
  option.text = text;
  option.textAlignment = Qt::AlignCenter;
  option.position = QStyleOptionHeader::Middle;
  option.state |= QStyle::State_Enabled | QStyle::State_Horizontal;
  if (!isEnabled()) option.state &= ~QStyle::State_Enabled;
  painter->save();
  style()->drawControl(QStyle::CE_Header, &option, painter, this);
  painter->restore();
}

void TwoLevelHeaderView::paintSection(QPainter* painter, const QRect& rect, int section) const {
  if (!rect.isValid()) return;
  const Title title = TitleOf(section);
  if (title.upper.isEmpty()) {
    PaintCell(painter, rect, section, title.lower);
    return;
  }
  const int upperHeight = rect.height() / 2;
  PaintCell(painter, QRect(rect.left(), rect.top() + upperHeight, rect.width(), rect.height() - upperHeight),
            section, title.lower);
  // Every column of a group paints the whole joined cell; the copies agree.
  PaintCell(painter, UpperGroupRect(section, title.upper, rect.top(), upperHeight), section, title.upper);
}

void TwoLevelHeaderView::resizeEvent(QResizeEvent* event) {
  QHeaderView::resizeEvent(event);
  FitSections();
}

}  // namespace velt
