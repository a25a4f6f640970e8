#include "app/QActionMRUItem.h"

#include <QAction>

QActionMRUItem::QActionMRUItem(QAction* action) : m_action(action) {}

void QActionMRUItem::SetVisible(bool visible) {
    if (m_action)
        m_action->setVisible(visible);
}

bool QActionMRUItem::Visible() const {
    return m_action && m_action->isVisible();
}

void QActionMRUItem::SetCaption(const std::string& caption) {
    if (m_action)
        m_action->setText(QString::fromStdString(caption));
}

std::string QActionMRUItem::Caption() const {
    return m_action ? m_action->text().toStdString() : std::string();
}

void QActionMRUItem::SetTag(const std::string& tag) {
    if (m_action)
        m_action->setData(QString::fromStdString(tag));
}

std::string QActionMRUItem::Tag() const {
    return m_action ? m_action->data().toString().toStdString() : std::string();
}
