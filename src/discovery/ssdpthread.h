#pragma once
// Discovery worker: small JSON messages on 239.255.255.250:1901 under one service type.
// Lives in its own thread; the controller reaches it only through queued calls and signals.
#include <QJsonObject>
#include <QObject>
#include <QString>

class QUdpSocket;

namespace kora::discovery {
constexpr char kServiceType[] = "urn:vxr:sw:korav2";
constexpr char kGroup[] = "239.255.255.250";
constexpr quint16 kPort = 1901;

// Compact JSON with sorted keys, one message per datagram.
QByteArray composeSearch(const QString &serviceType);
QByteArray composeNotify(const QString &server, const QString &usn, bool alive);
QByteArray composeAnswer(const QString &server, const QString &usn);

// What a received datagram is to the client; anything else is dropped.
enum class Kind { Other, Search, Notify, Answer };
struct Message {
    Kind kind = Kind::Other;
    QJsonObject object;
};
// `onSearchSocket`: the receiving socket is the one the client's own search left from,
// where only answers count; elsewhere searches for our service type and notifies do.
Message classify(const QByteArray &datagram, bool onSearchSocket);

// The uuid in "uuid:X::urn:..." (the last part that holds "uuid" wins); empty without one.
QString uuidFromUsn(const QString &usn);

// Answer delay for a search: uniform in [0, mx seconds) from a 32-bit random number.
int answerDelayMs(quint32 random, int mx);
} // namespace kora::discovery

class SsdpThread : public QObject
{
    Q_OBJECT
public:
    explicit SsdpThread(const QString &localIp, QObject *parent = nullptr);
    ~SsdpThread() override;

public slots:
    // Both run in the worker thread.
    void start();                              // creates and binds the two sockets
    void search(const QString &serviceType);   // sends one search
    void sendData(const QByteArray &data, const QString &ip, quint16 port);

signals:
    void recvData(QJsonObject data, QString ip, quint16 port);
    void recvDataFromSearch(QJsonObject data, QString ip);

private:
    void recvFromRecvSocket();
    void recvFromSendSocket();

    // Worker thread only.
    QString m_localIp;
    QUdpSocket *m_recvSocket = nullptr;
    QUdpSocket *m_sendSocket = nullptr;
};
