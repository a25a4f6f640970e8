#pragma once
// Helper for one list view in report mode (a QTreeWidget without a tree):
// switching its redrawing off while many rows are added, whole-row
// selection, selecting a row by a click in any of its columns, and sorting by
// a clicked column.
//
// A form creates one per list view, hands it the control, fills it with
// CListViewItem rows and forwards the control's events:
//
//     m_lvw.SetListView(lvwScenarios);
//     m_lvw.SetFullRowSelect();
//     connect(lvwScenarios, &QTreeWidget::itemClicked, this, [this] { m_lvw.OnClick(); });
//     connect(lvwScenarios->header(), &QHeaderView::sectionClicked, this,
//             [this](int section) { m_lvw.OnColumnClick(section + 1); });
//
// A column click sorts by that column in the sort order the control had when
// it was handed over (its header's sort indicator order, when the form turned
// sorting on or showed the indicator; ascending otherwise); the order never
// toggles.
#include "util/ui/CListViewItem.h"

#include <QPointer>
#include <Qt>

class QPoint;
class QTreeWidget;

class CListView {
public:
    CListView() = default;
    ~CListView() = default;
    CListView(const CListView&) = delete;
    CListView& operator=(const CListView&) = delete;

    // When True, a column click sorts once and then switches the control's
    // automatic sorting off again (rows added later are appended unsorted).
    bool ResetSortKeyOnColumnClick() const { return m_resetSortKeyOnColumnClick; }
    void SetResetSortKeyOnColumnClick(bool reset) { m_resetSortKeyOnColumnClick = reset; }

    // Stores the control. Call it before any other operation except the property.
    void SetListView(QTreeWidget* listView);
    QTreeWidget* ListView() const { return m_listView; }

    // Switches the control's redrawing on or off; without a control it does nothing.
    void SetRedraw(bool redraw);

    // Whole rows are selected; the control's other settings stay as they were.
    // Raises error 91 (RunTimeError) when no control was handed over.
    void SetFullRowSelect();

    // From the control's click event: selects the row under the mouse pointer,
    // whichever column the click fell on.
    void OnClick();
    // The same for a position in the control's viewport coordinates.
    void OnClickAt(const QPoint& viewportPos);

    // From the column-click event, with the 1-based index of the clicked header.
    // Raises error 91 (RunTimeError) when no control was handed over.
    void OnColumnClick(int columnHeaderIndex);

private:
    QTreeWidget* Control(const char* operation) const;

    QPointer<QTreeWidget> m_listView;
    bool m_resetSortKeyOnColumnClick = false;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
