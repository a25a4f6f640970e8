#pragma once
// What the window tests share: the QApplication (created once for the whole
// test program, offscreen unless a platform was chosen), and answering a
// modal window from the test.
#include "platform/ui/DesktopServices.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace vtest {

// Calls `answer` with the next modal window as soon as it is shown (polling
// every 10 ms, giving up after `timeoutMs`). Use it before the call that
// shows the window.
inline void AnswerNextModal(std::function<void(QWidget*)> answer, int timeoutMs = 5000) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, waited, answer = std::move(answer), timeoutMs]() {
        QWidget* modal = QApplication::activeModalWidget();
        *waited += 10;
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            answer(modal);
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// Records the addresses handed to the desktop instead of opening them.
class UrlRecorder {
public:
    explicit UrlRecorder(bool accept = true) {
        m_old = platform::ui::SetUrlOpener([this, accept](const QUrl& url) {
            urls.push_back(url);
            return accept;
        });
    }
    ~UrlRecorder() { platform::ui::SetUrlOpener(m_old); }
    UrlRecorder(const UrlRecorder&) = delete;
    UrlRecorder& operator=(const UrlRecorder&) = delete;

    std::vector<QUrl> urls;

private:
    platform::ui::UrlOpener m_old;
};

} // namespace vtest
