#pragma once
// One running instance per user. The first instance holds a lock file and
// listens on a local socket, both named by a key made of the user's name; a
// later start finds the socket, asks the first instance to bring its frame to
// the front and is told to end.
//
//     CSingleInstance instance(CSingleInstance::DefaultKey());
//     if (!instance.Acquire()) return 0;   // another instance runs
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;
class QWidget;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(QString key, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // "varnello-" and the user's name; the environment variable
    // VARNELLO_INSTANCE_KEY, when set, is appended (tests run apart from a
    // user's own instance this way).
    static QString DefaultKey();

    const QString& Key() const { return m_key; }
    // Path of the local socket the first instance listens on.
    QString ServerName() const;

    // True when this object is now the one instance. False when another
    // instance runs; it has been asked to come to the front.
    bool Acquire();
    bool IsPrimary() const { return m_primary; }

    // The window brought to the front when a later start asks for it.
    void SetActivationTarget(QWidget* window) { m_target = window; }

signals:
    void activationRequested();

private:
    bool AskRunningInstance();
    void OnNewConnection();
    void Activate();

    QString m_key;
    bool m_primary = false;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    QPointer<QWidget> m_target;
};
