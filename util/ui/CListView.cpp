#include "util/ui/CListView.h"

#include "errors/RunTimeError.h"
#include "platform/ui/ScreenPointer.h"

#include <QApplication>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>

#include <string>

void CListView::SetListView(QTreeWidget* listView) {
    m_listView = listView;
    // The control's sort order counts when the form has set one up (sorting
    // on, or the sort indicator shown); a fresh header's order means nothing
    // and the list sorts ascending.
    m_sortOrder = Qt::AscendingOrder;
    if (listView && (listView->isSortingEnabled() || listView->header()->isSortIndicatorShown()))
        m_sortOrder = listView->header()->sortIndicatorOrder();
}

QTreeWidget* CListView::Control(const char* operation) const {
    if (!m_listView)
        throw RunTimeError(rterr::ObjectNotSet, RunTimeErrorDescription(rterr::ObjectNotSet), std::string("CListView.") + operation);
    return m_listView;
}

void CListView::SetRedraw(bool redraw) {
    if (!m_listView)
        return;
    m_listView->setUpdatesEnabled(redraw);
    if (redraw)
        m_listView->viewport()->update();
}

void CListView::SetFullRowSelect() {
    QTreeWidget* lvw = Control("SetFullRowSelect");
    lvw->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvw->setAllColumnsShowFocus(true);
}

void CListView::OnClick() {
    if (!m_listView)
        return;
    OnClickAt(m_listView->viewport()->mapFromGlobal(QCursor::pos()));
}

void CListView::OnClickAt(const QPoint& viewportPos) {
    QTreeWidget* lvw = m_listView;
    if (!lvw || lvw->topLevelItemCount() == 0)
        return;
    // Hit-test at the left edge of the row, so that a click in a later column
    // finds the row as well.
    QTreeWidgetItem* item = lvw->itemAt(QPoint(0, viewportPos.y()));
    if (!item || item == lvw->currentItem())
        return;
    lvw->setCurrentItem(item);
    // Bring the view back to its left edge, as a Left key press does.
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : static_cast<QWidget*>(lvw);
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Left, Qt::NoModifier));
}

void CListView::OnColumnClick(int columnHeaderIndex) {
    QTreeWidget* lvw = Control("OnColumnClick");
    const int sortKey = columnHeaderIndex - 1;
    lvw->header()->setSortIndicator(sortKey, m_sortOrder);
    lvw->setSortingEnabled(true);
    lvw->sortItems(sortKey, m_sortOrder);
    platform::ui::SetScreenMousePointer(platform::ui::vbDefault);
    if (m_resetSortKeyOnColumnClick) {
        lvw->setSortingEnabled(false);
        // Switching sorting off also stops the headers answering clicks;
        // every later click must sort again.
        lvw->header()->setSectionsClickable(true);
    }
}
