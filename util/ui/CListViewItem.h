#pragma once

#include <QTreeWidgetItem>

// A row of a list view that CListView sorts. A column click sorts its texts
// by their letters without regard to letter case, as the platform's list
// view does ("alpha" before "Beta", "éclair" before "Épices"); a plain
// QTreeWidgetItem would put every capital before the small letters.
class CListViewItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};
