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

// {"mx":1,"st":...,"type":"search"} as compact JSON with sorted keys.
QByteArray composeSearch(const QString &serviceType);
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
