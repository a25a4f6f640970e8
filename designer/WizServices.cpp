#include "designer/WizServices.h"

#include "errors/ui/frmMsgBox.h"
#include "platform/App.h"
#include "platform/ui/Help.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPushButton>

#include <memory>
#include <utility>

namespace wizsvc {
namespace {

ModalShower& shower() {
    static ModalShower s;
    return s;
}

MessageHandler& messageHandler() {
    static MessageHandler h;
    return h;
}

} // namespace

ModalShower SetModalShower(ModalShower s) { return std::exchange(shower(), std::move(s)); }

void ShowModal(QDialog& dialog) {
    if (shower()) {
        shower()(dialog);
        return;
    }
    dialog.exec();
}

MessageHandler SetMessageHandler(MessageHandler h) { return std::exchange(messageHandler(), std::move(h)); }

namespace {

// While a question of the designer is shown: once the message form has put
// the focus on its first button, No becomes the default button and takes the
// focus, so that Enter answers No.
class DefaultNo : public QObject {
public:
    DefaultNo() { QApplication::instance()->installEventFilter(this); }
    ~DefaultNo() override { QApplication::instance()->removeEventFilter(this); }
    DefaultNo(const DefaultNo&) = delete;
    DefaultNo& operator=(const DefaultNo&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<frmMsgBox*>(watched)) {
                QMetaObject::invokeMethod(
                    box,
                    [box] {
                        QPushButton* no = box->ResponseButton(frmMsgBox::vbNo);
                        if (!no || !no->isVisible()) return;
                        no->setDefault(true);
                        no->setFocus(Qt::OtherFocusReason);
                    },
                    Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int WizMessage(QWidget* parent, const QString& message, int style) {
    if (messageHandler()) return messageHandler()(message, style);
    // Every question of the designer asks before something is overwritten,
    // dropped or thrown away: its default answer is No.
    std::unique_ptr<DefaultNo> defaultNo;
    if (style == 4) defaultNo = std::make_unique<DefaultNo>();
    return frmMsgBox::Show(parent, QString::fromStdString(platform::App::Title()), message, style, true);
}

void SendHelpKey(QWidget* /*window*/, int helpTopic) { platform::ui::ShowApplicationHelp(helpTopic); }

} // namespace wizsvc
