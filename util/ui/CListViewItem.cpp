#include "util/ui/CListViewItem.h"

#include <QTreeWidget>

bool CListViewItem::operator<(const QTreeWidgetItem& other) const {
    const QTreeWidget* view = treeWidget();
    const int column = view ? view->sortColumn() : 0;
    return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
}
