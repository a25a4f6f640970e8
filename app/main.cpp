// The Scenario Designer.
#include "app/MDIMain.h"
#include "app/modApplication.h"

#include <QApplication>
#include <QPointer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnello"));
    QPointer<MDIMain> frame = Main();
    // Another instance runs, or the user chose to exit while starting.
    if (!frame || !frame->isVisible())
        return 0;
    return QApplication::exec();
}
