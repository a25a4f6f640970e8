#pragma once
// The two arrow buttons beside a list that holds one field: 0 left (remove)
// and 1 right (add). A click raises Transfer with the button's index, the
// same index as the same arrow of TransferButton.
#include <QWidget>

#include <array>

class QToolButton;

class TransferInOut : public QWidget {
    Q_OBJECT
public:
    explicit TransferInOut(QWidget* parent = nullptr);
    QToolButton* cmdTransfer(int index) const { return m_cmdTransfer[static_cast<std::size_t>(index)]; }
    void cmdTransfer_Click(int index) { emit Transfer(index); }

signals:
    void Transfer(long index);

private:
    std::array<QToolButton*, 2> m_cmdTransfer{};
};
