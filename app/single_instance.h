#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

#include <functional>

#include <sys/types.h>
#include <unistd.h>

class QLocalSocket;

// One reader per data directory. The running reader listens on a local socket named after its
// data directory; a later launch hands it its arguments and ends. A local socket rather than
// D-Bus: it needs no session bus (a bare X session or a test has none), the name can be
// derived from the data directory, so readers of different directories never meet, and a
// reader that died leaves nothing that answers.
class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // The socket of the reader whose files live in dataDir: in $XDG_RUNTIME_DIR when that is
    // this user's private directory, else in a private directory of the temporary directory
    // ("veska-<user id>", created here). Empty when neither can be trusted, with the reason in
    // *problem: the reader then neither hands over nor listens.
    static QString ServerName(const QString& dataDir, QString* problem = nullptr);

    // Gives args to the reader listening under name. true once it confirmed them within
    // timeoutMs; false when nothing listens, it does not answer in time (hung, or a stale
    // socket) or it runs as another user than ownerUid, who then learns nothing.
    static bool HandOver(const QString& name, const QStringList& args, int timeoutMs,
                         uid_t ownerUid = ::getuid());
    // Tells the reader listening under name that another process changed the shelf (`veska
    // --add`), through HandOver with kShelfChanged as the only argument: no book's path can be
    // that word, and the reader neither opens nor comes to the front for it.
    static bool TellShelfChanged(const QString& name, int timeoutMs);
    static constexpr const char* kShelfChanged = "--shelf-changed";

    explicit CSingleInstance(const QString& name, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Starts listening, replacing a socket that nothing answers on. false when even that fails:
    // the reader then runs on alone.
    bool Listen();

    // Whether the socket under the name is still the one this reader listens on.
    bool OwnsName() const;

signals:
    // A later launch's arguments (the book's absolute path, or none).
    void ArgumentsReceived(const QStringList& args);
    // Another process changed the shelf.
    void ShelfChanged();

private:
    bool Bind();
    void Close();
    void OnNewConnection();
    void OnAcceptFailed(int error);
    // Runs step with the spare descriptor free for it.
    void UsingSpare(const std::function<void()>& step);
    void ReadMessage(QLocalSocket* socket);

    QString m_name;
    // The listening socket and its file, told apart from a later reader's under the same name.
    int m_listener = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    // One for the reader's life, pointed at each new listening socket.
    QSocketNotifier m_notifier{QSocketNotifier::Read};
    // Held in reserve for when all others are in use.
    int m_spare = -1;
};
