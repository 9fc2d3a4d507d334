// The rows of a table as the clipboard takes them: one line per row, its
// cells separated by tabs, in the order the view shows them.
#pragma once

#include <QString>

class QAbstractItemModel;
class QTableView;

namespace velt {

QString AllRowsText(const QAbstractItemModel& model);
// The column titles as one such line.
QString HeaderRowText(const QAbstractItemModel& model);
QString SelectedRowsText(const QTableView& view);

}  // namespace velt
