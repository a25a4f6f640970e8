#pragma once
// A menu action as the recent-database list sees its entries: visibility,
// caption and a tag (kept in the action's data).
#include "util/CMRU.h"

#include <QPointer>

class QAction;

class QActionMRUItem : public IMRUMenuItem {
public:
    explicit QActionMRUItem(QAction* action);

    void SetVisible(bool visible) override;
    bool Visible() const override;
    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;
    void SetTag(const std::string& tag) override;
    std::string Tag() const override;

    QAction* Action() const { return m_action; }

private:
    QPointer<QAction> m_action;
};
