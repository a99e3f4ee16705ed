#include "app/single_instance.h"

#include "platform/paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A message: the magic, the payload's length (4 bytes, big-endian), the payload (the arguments
// in UTF-8, each ended by a NUL, which no argument can hold). The answer is one byte.
constexpr char kMagic[] = "VSK1";
constexpr int kMagicSize = 4;
constexpr int kHeaderSize = kMagicSize + 4;
constexpr quint32 kMaxPayload = 64 * 1024;
constexpr char kAnswer = 'K';
// A client that connects but never completes its message is dropped after this.
constexpr int kClientTimeoutMs = 2000;
// Launches that may wait for the reader to take their connection.
constexpr int kBacklog = 50;
// Connections taken per wake-up, so that a flood of them does not freeze the window.
constexpr int kAcceptsPerWake = 32;
// How long the reader stops taking connections after a failure it could not deal with.
constexpr int kFailedAcceptPauseMs = 500;
// Longest directory that still leaves room for the name in a socket address (108 bytes).
constexpr int kMaxSocketDirLength = 80;

// Whether dir is this user's own directory that nobody else may enter, so that no one else can
// put a socket (or anything else) under the name this reader's launches talk to. lstat: a
// symbolic link planted in its place is not the directory, whatever it points to.
bool IsPrivateDirectory(const QString& dir, QString* problem) {
    struct stat info {};
    if (::lstat(QFile::encodeName(dir).constData(), &info) != 0) {
        *problem = QStringLiteral("%1: %2").arg(dir, QString::fromLocal8Bit(std::strerror(errno)));
    } else if (!S_ISDIR(info.st_mode)) {
        *problem = QStringLiteral("%1 is not a directory").arg(dir);
    } else if (info.st_uid != ::getuid()) {
        *problem = QStringLiteral("%1 belongs to user %2").arg(dir).arg(info.st_uid);
    } else if ((info.st_mode & 07777) != 0700) {
        *problem =
            QStringLiteral("%1 has mode %2, not 700").arg(dir).arg(info.st_mode & 07777, 0, 8);
    } else if (QFile::encodeName(dir).size() > kMaxSocketDirLength) {
        *problem = QStringLiteral("%1 is too long a path for a socket").arg(dir);
    } else {
        return true;
    }
    return false;
}

QByteArray EncodeMessage(const QStringList& args) {
    QByteArray payload;
    for (const QString& arg : args) {
        // Paths as the file system spells them, so a name kept byte for byte arrives whole.
        payload += QByteArray::fromStdString(FsPathFromWide(arg.toStdU16String()));
        payload += '\0';
    }
    QByteArray message(kMagic, kMagicSize);
    const quint32 size = quint32(payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        message += char((size >> shift) & 0xFF);
    }
    return message + payload;
}

} // namespace

QString CSingleInstance::ServerName(const QString& dataDir, QString* problem) {
    QString canonical = QFileInfo(dataDir).canonicalFilePath();
    if (canonical.isEmpty()) {
        canonical = QFileInfo(dataDir).absoluteFilePath();
    }
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    const QString name = QStringLiteral("veska-") + QString::fromLatin1(hash);
    QString why;
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtimeDir.startsWith(QLatin1Char('/')) && IsPrivateDirectory(runtimeDir, &why)) {
        return QDir(runtimeDir).filePath(name);
    }
    // In the shared temporary directory anyone can take any name, so the socket goes into a
    // directory of this user's. Whoever made it first owns it: when that is not this user, or
    // it is open to others, there is no safe place to meet.
    const QString ownDir = QDir::tempPath() + QStringLiteral("/veska-%1").arg(::getuid());
    const QByteArray encoded = QFile::encodeName(ownDir);
    if (::mkdir(encoded.constData(), 0700) == 0) {
        ::chmod(encoded.constData(), 0700); // whatever the umask
    }
    if (!IsPrivateDirectory(ownDir, &why)) {
        if (problem != nullptr) {
            *problem = why;
        }
        return QString();
    }
    return QDir(ownDir).filePath(name);
}

bool CSingleInstance::HandOver(const QString& name, const QStringList& args, int timeoutMs,
                               uid_t ownerUid) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        return false;
    }
    // Whoever listens learns which book is opened, and a launch it answers shows no window.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ownerUid) {
        socket.abort();
        return false;
    }
    socket.write(EncodeMessage(args));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) {
            return false;
        }
    }
    // Connecting alone proves nothing: the system accepts connections for a hung reader too.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) {
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAnswer;
}

bool CSingleInstance::TellShelfChanged(const QString& name, int timeoutMs) {
    return HandOver(name, QStringList{QString::fromLatin1(kShelfChanged)}, timeoutMs);
}

CSingleInstance::CSingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name) {
    connect(&m_notifier, &QSocketNotifier::activated, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() {
    Close();
    if (m_spare >= 0) {
        ::close(m_spare);
    }
}

// Our own listening socket rather than QLocalServer's: when accept() fails, for want of a
// descriptor too, that one closes itself and deletes its file, and later launches start readers
// of their own for good.
bool CSingleInstance::Listen() {
    if (m_spare < 0) {
        m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    if (Bind()) {
        return true;
    }
    // The launch that got here found no reader answering on the name: what is left there is a
    // stale socket or a hung reader's, and this reader takes the name over.
    if (errno == EADDRINUSE) {
        ::unlink(QFile::encodeName(m_name).constData());
        return Bind();
    }
    return false;
}

// Replaces the listening socket only once the new one is up.
bool CSingleInstance::Bind() {
    const QByteArray path = QFile::encodeName(m_name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0) {
        return false;
    }
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(listener);
        errno = error;
        return false;
    }
    struct stat info {};
    // Only this user may hand books to the reader (its directory is private already).
    if (::chmod(path.constData(), 0600) != 0 || ::lstat(path.constData(), &info) != 0 ||
        ::listen(listener, kBacklog) != 0) {
        const int error = errno;
        ::close(listener);
        ::unlink(path.constData());
        errno = error;
        return false;
    }
    m_notifier.setEnabled(false);
    if (m_listener >= 0) {
        ::close(m_listener);
    }
    m_listener = listener;
    m_device = info.st_dev;
    m_inode = info.st_ino;
    m_notifier.setSocket(listener);
    m_notifier.setEnabled(true);
    return true;
}

bool CSingleInstance::OwnsName() const {
    struct stat info {};
    return m_listener >= 0 && ::lstat(QFile::encodeName(m_name).constData(), &info) == 0 &&
           S_ISSOCK(info.st_mode) && info.st_dev == m_device && info.st_ino == m_inode;
}

void CSingleInstance::Close() {
    m_notifier.setEnabled(false);
    if (m_listener < 0) {
        return;
    }
    // A reader that took the name over since keeps its socket.
    if (OwnsName()) {
        ::unlink(QFile::encodeName(m_name).constData());
    }
    ::close(m_listener);
    m_listener = -1;
}

void CSingleInstance::OnNewConnection() {
    for (int i = 0; i < kAcceptsPerWake; ++i) {
        const int descriptor =
            ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (descriptor < 0) {
            OnAcceptFailed(errno);
            return;
        }
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            ::close(descriptor);
            delete socket;
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessage(socket); });
        QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); });
        ReadMessage(socket);
    }
}

void CSingleInstance::OnAcceptFailed(int error) {
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ECONNABORTED) {
        return;
    }
    bool pause = true;
    if (error == EMFILE || error == ENFILE) {
        // The connection would stay queued and wake the reader again at once: the spare
        // descriptor makes room to take it and close it. That launch starts a reader of its own;
        // the ones after the shortage are handed over again.
        UsingSpare([this] {
            const int dropped = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (dropped >= 0) {
                ::close(dropped);
            }
        });
        pause = m_spare < 0;
    }
    // Launches only find the reader through the socket's file: should it have gone, there is a
    // new one.
    if (!QFile::exists(m_name)) {
        UsingSpare([this] { Bind(); });
    }
    if (pause) {
        // Rather than spin on what keeps failing, look again in a while.
        m_notifier.setEnabled(false);
        QTimer::singleShot(kFailedAcceptPauseMs, this, [this] { m_notifier.setEnabled(true); });
    }
}

void CSingleInstance::UsingSpare(const std::function<void()>& step) {
    if (m_spare >= 0) {
        ::close(m_spare);
    }
    step();
    m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

void CSingleInstance::ReadMessage(QLocalSocket* socket) {
    if (socket->property("veskaDone").toBool() || socket->bytesAvailable() < kHeaderSize) {
        return;
    }
    const QByteArray header = socket->peek(kHeaderSize);
    quint32 size = 0;
    for (int i = kMagicSize; i < kHeaderSize; ++i) {
        size = (size << 8) | quint8(header[i]);
    }
    if (!header.startsWith(QByteArray(kMagic, kMagicSize)) || size > kMaxPayload) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < qint64(kHeaderSize + size)) {
        return;
    }
    socket->skip(kHeaderSize);
    const QByteArray payload = socket->read(size);
    QStringList args;
    for (const QByteArray& arg : payload.split('\0')) {
        args << QString::fromStdU16String(WidePathFromFs(arg.toStdString()));
    }
    args.removeLast(); // after the last NUL
    socket->setProperty("veskaDone", true);
    // Answer first, so that the launch waiting for it ends at once.
    socket->putChar(kAnswer);
    socket->flush();
    socket->disconnectFromServer();
    if (args == QStringList{QString::fromLatin1(kShelfChanged)}) {
        emit ShelfChanged();
        return;
    }
    emit ArgumentsReceived(args);
}
