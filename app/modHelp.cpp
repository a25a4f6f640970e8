#include "app/modHelp.h"

#include "app/modApplication.h"
#include "platform/ui/Help.h"

#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#ifndef VARNELLO_BUILD_HELP_DIR
#define VARNELLO_BUILD_HELP_DIR ""
#endif
#ifndef VARNELLO_BUILD_README
#define VARNELLO_BUILD_README ""
#endif

QString HelpLocation() {
    const QString beside = QString::fromStdString(AppFolderFile("help"));
    if (QFileInfo(beside).isDir())
        return QDir::cleanPath(beside);
    const QString built = QStringLiteral(VARNELLO_BUILD_HELP_DIR);
    if (!built.isEmpty() && QFileInfo(built).isDir())
        return built;
    return QDir::cleanPath(beside);
}

QString ReadmeLocation() {
    const QString beside = QString::fromStdString(AppFolderFile("readme.txt"));
    if (QFileInfo::exists(beside))
        return beside;
    const QString built = QStringLiteral(VARNELLO_BUILD_README);
    if (!built.isEmpty() && QFileInfo::exists(built))
        return built;
    return beside;
}

int HelpTopicOf(const QWidget* window) {
    for (const QWidget* w = window; w; w = w->parentWidget()) {
        const QVariant topic = w->property("HelpContextID");
        if (topic.isValid() && topic.toInt() != 0)
            return topic.toInt();
    }
    return 0;
}

bool ShowHelpTopic(int topic) {
    return platform::ui::ShowApplicationHelp(topic);
}

void InstallHelpKey(QWidget* dialog, int topic) {
    dialog->setProperty("HelpContextID", topic);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), dialog);
    f1->setContext(Qt::WindowShortcut);
    QObject::connect(f1, &QShortcut::activated, dialog, [dialog] { ShowHelpTopic(HelpTopicOf(dialog)); });
}
