#pragma once
// The progress window of a scenario run: a small window without caption
// text holding one line of text (the status area picStatus), into which the
// scenario list prints each progress text of the engine. Its close box and
// Esc ask whether to stop the run.
//
// The engine's texts arrive during a synchronous run; each one replaces the
// previous one at once, but the area is repainted at most every
// RepaintIntervalMs so that printing never dominates a long run.
#include <QDialog>
#include <QElapsedTimer>
#include <QRect>
#include <QString>

class frmStatus : public QDialog {
    Q_OBJECT
public:
    static constexpr int RepaintIntervalMs = 50;
    // Design geometry, twips.
    static constexpr int ClientWidth = 6360;
    static constexpr int ClientHeight = 720;
    static constexpr int StatusLeft = 180;
    static constexpr int StatusTop = 195;
    static constexpr int StatusWidth = 6015;
    static constexpr int StatusHeight = 345;

    explicit frmStatus(QWidget* owner = nullptr);

    // Clears the status area, prints the text at the print position and
    // repaints the area (unless it was repainted less than
    // RepaintIntervalMs ago).
    void PrintStatus(const QString& text);

    // The text the area holds, the texts printed and the repaints done.
    QString StatusText() const;
    // The text as the area draws it, and the room it is drawn in.
    QString ShownStatusText() const;
    QRect StatusTextRect() const;
    int MessageCount() const { return m_messages; }
    int RepaintCount() const { return m_repaints; }
    QWidget* picStatus() const { return m_picStatus; }

private:
    QWidget* m_picStatus = nullptr;
    QElapsedTimer m_sinceRepaint;
    int m_messages = 0;
    int m_repaints = 0;
};
