#pragma once
// A small picture window with one line of text that stands above all other
// windows, sizes itself to the screen's resolution and closes itself after
// UnloadIntervalMs.
#include <QWidget>

class QLabel;
class QTimer;

class frmSplash : public QWidget {
    Q_OBJECT
public:
    static constexpr int UnloadIntervalMs = 1500;

    // Window size and label position, twips, for a screen resolution.
    struct Geometry {
        int height, width, labelTop, labelLeft;
        bool operator==(const Geometry&) const = default;
    };
    // 96 dots per inch (15 twips per pixel) gets the larger set.
    static Geometry GeometryFor(int logPixelsX);

    explicit frmSplash(QWidget* parent = nullptr);

    void Form_Load();
    // Above every other window (True) or back among them (False); neither
    // moves nor resizes the window.
    void FormOnTop(bool onTop);

    QLabel* lblText() const { return m_label; }
    QTimer* tmrUnload() const { return m_tmrUnload; }

private:
    QLabel* m_label = nullptr;
    QTimer* m_tmrUnload = nullptr;
};
