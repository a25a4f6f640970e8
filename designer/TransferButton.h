#pragma once
// The five arrow buttons between a list of available fields and a list that
// holds several fields: 0 left (remove), 1 right (add), 2 down, 3 up, 4 double
// left (remove all). A click raises Transfer with the button's index; the
// host decides what it means.
#include <QWidget>

#include <array>

class QToolButton;

class TransferButton : public QWidget {
    Q_OBJECT
public:
    explicit TransferButton(QWidget* parent = nullptr);
    QToolButton* cmdTransfer(int index) const { return m_cmdTransfer[static_cast<std::size_t>(index)]; }
    void cmdTransfer_Click(int index) { emit Transfer(index); }

    // A 16-colour style picture of black triangles on light grey: "left",
    // "right", "down", "up" or "left2" (two triangles, twice as wide).
    static QPixmap ArrowPicture(const QString& kind);

signals:
    void Transfer(long index);

private:
    std::array<QToolButton*, 5> m_cmdTransfer{};
};
