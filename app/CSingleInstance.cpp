#include "app/CSingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>
#include <QWidget>

namespace {

constexpr const char* kActivate = "activate\n";

QString UserName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty())
        user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty())
        user = QStringLiteral("user");
    return user;
}

// Key text safe in a file name.
QString SafeName(const QString& text) {
    QString out;
    for (QChar c : text)
        out += (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_')) ? c : QLatin1Char('_');
    return out;
}

QString InstanceFolder() {
    // The user's runtime folder when the session has one, else the
    // temporary folder (the key carries the user's name).
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QDir::tempPath();
    QDir().mkpath(dir);
    return dir;
}

} // namespace

CSingleInstance::CSingleInstance(QString key, QObject* parent) : QObject(parent), m_key(SafeName(key)) {}

CSingleInstance::~CSingleInstance() {
    if (m_server)
        m_server->close();
    if (m_lock)
        m_lock->unlock();
}

QString CSingleInstance::DefaultKey() {
    QString key = QStringLiteral("varnello-") + UserName();
    const QString extra = qEnvironmentVariable("VARNELLO_INSTANCE_KEY");
    if (!extra.isEmpty())
        key += QLatin1Char('-') + extra;
    return key;
}

QString CSingleInstance::ServerName() const {
    return InstanceFolder() + QLatin1Char('/') + m_key + QStringLiteral(".socket");
}

bool CSingleInstance::AskRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(500))
        return false;
    socket.write(kActivate);
    socket.flush();
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

bool CSingleInstance::Acquire() {
    if (m_primary)
        return true;
    m_lock = std::make_unique<QLockFile>(InstanceFolder() + QLatin1Char('/') + m_key + QStringLiteral(".lock"));
    // A lock is stale only when its process is gone, however old it is.
    m_lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(3000);
    bool unnamedBefore = false;
    for (;;) {
        if (AskRunningInstance())
            return false;
        if (m_lock->tryLock(0))
            break;
        // No lock file can be made at all (a folder that is not writable or
        // is full): no other instance holds one, and none answered above.
        // This one runs, unguarded, rather than not at all.
        if (m_lock->error() != QLockFile::LockFailedError) {
            qWarning("Varnello: cannot make the lock file in %s", qPrintable(InstanceFolder()));
            m_lock.reset();
            break;
        }
        // A lock that names this very process was left by an earlier one
        // that ended without removing it and had the same number (numbers
        // are given again): no running instance holds it, none answered.
        qint64 pid = 0;
        QString host, app;
        const bool named = m_lock->getLockInfo(&pid, &host, &app);
        if (named && pid == QCoreApplication::applicationPid() && host == QSysInfo::machineHostName() &&
            m_lock->removeStaleLockFile())
            continue;
        // A lock file that names no process (empty or cut short) was left by
        // a start killed before it wrote its number, or by a machine that lost
        // power before the number reached the disk: Qt never takes it for
        // stale, and no start would ever get past it. A process that holds
        // the lock keeps its file locked from the moment it makes it, and
        // removeStaleLockFile leaves such a file alone; one that is still
        // writing its number has had a round of waiting to finish.
        if (!named) {
            if (unnamedBefore && m_lock->removeStaleLockFile())
                continue;
            unnamedBefore = true;
        } else {
            unnamedBefore = false;
        }
        // Another instance holds the lock and is still starting up.
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(ServerName());
    if (!m_server->listen(ServerName())) {
        // Without the socket a later start cannot find this one; the lock
        // still keeps it out.
        qWarning("Varnello: cannot listen on %s", qPrintable(ServerName()));
    }
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    m_primary = true;
    return true;
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            const QByteArray data = socket->readAll();
            if (data.contains("activate"))
                Activate();
        });
    }
}

void CSingleInstance::Activate() {
    if (QWidget* w = m_target) {
        if (w->isMinimized())
            w->showNormal();
        w->show();
        w->raise();
        w->activateWindow();
    }
    emit activationRequested();
}
