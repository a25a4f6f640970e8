#include "designer/WizServices.h"

#include "errors/ui/frmMsgBox.h"
#include "platform/App.h"
#include "platform/ui/Help.h"

#include <QDialog>

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

int WizMessage(QWidget* parent, const QString& message, int style) {
    if (messageHandler()) return messageHandler()(message, style);
    return frmMsgBox::Show(parent, QString::fromStdString(platform::App::Title()), message, style, true);
}

void SendHelpKey(QWidget* /*window*/, int helpTopic) { platform::ui::ShowApplicationHelp(helpTopic); }

} // namespace wizsvc
