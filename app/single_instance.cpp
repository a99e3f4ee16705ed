#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

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
// Longest directory that still leaves room for the name in a socket address (108 bytes).
constexpr int kMaxSocketDirLength = 80;

QByteArray EncodeMessage(const QStringList& args) {
    QByteArray payload;
    for (const QString& arg : args) {
        payload += arg.toUtf8();
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

QString CSingleInstance::ServerName(const QString& dataDir) {
    QString canonical = QFileInfo(dataDir).canonicalFilePath();
    if (canonical.isEmpty()) {
        canonical = QFileInfo(dataDir).absoluteFilePath();
    }
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    const QString name = QStringLiteral("veska-") + QString::fromLatin1(hash);
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && runtimeDir.size() <= kMaxSocketDirLength &&
        QFileInfo(runtimeDir).isDir()) {
        return QDir(runtimeDir).filePath(name);
    }
    // The shared temporary directory: other users' readers must not take this one's name.
    return name + QStringLiteral("-%1").arg(getuid());
}

bool CSingleInstance::HandOver(const QString& name, const QStringList& args, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
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

CSingleInstance::CSingleInstance(const QString& name, QObject* parent)
    : QObject(parent), m_name(name) {
    // Only this user may hand books to the reader.
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
}

CSingleInstance::~CSingleInstance() {
    m_server.close();
}

bool CSingleInstance::Listen() {
    if (m_server.listen(m_name)) {
        return true;
    }
    // The launch that got here found no reader answering on the name: what is left there is a
    // stale socket or a hung reader's, and this reader takes the name over.
    if (m_server.serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(m_name);
        return m_server.listen(m_name);
    }
    return false;
}

void CSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessage(socket); });
        QTimer::singleShot(kClientTimeoutMs, socket, [socket] { socket->abort(); });
        ReadMessage(socket);
    }
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
        args << QString::fromUtf8(arg);
    }
    args.removeLast(); // after the last NUL
    socket->setProperty("veskaDone", true);
    // Answer first, so that the launch waiting for it ends at once.
    socket->putChar(kAnswer);
    socket->flush();
    socket->disconnectFromServer();
    emit ArgumentsReceived(args);
}
