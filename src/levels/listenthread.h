#pragma once
// One listener per data docker that reads designed equipment (dockers of type 2).
//
// ListenWorker polls one docker's equipment: its UDP socket and poll timer live in the
// worker's thread, it sends the request at the designed period (or pings) and cuts the value
// out of every reply. ListenThread owns that worker and its thread, named "listen <uuid>";
// the worker's results reach it queued and leave by its own signals. Listeners owns the
// listeners of one design: started when it is built, stopped and joined before the next
// login, on logout and when the owner goes.
#include "levels/levelvalue.h"

#include <QHostAddress>
#include <QObject>
#include <QThread>
#include <QVariantMap>
#include <memory>
#include <vector>

class QTimer;
class QUdpSocket;

namespace kora::levels {

class ListenWorker : public QObject
{
    Q_OBJECT
public:
    // The docker's "send" (request) and "recv" (reply) maps.
    ListenWorker(const QString &uuid, const QVariantMap &request, const QVariantMap &reply);

public slots:
    // In the worker's thread: binds the reply socket and starts polling.
    void start();

signals:
    void recvStep(QString uuid, int value);
    // The same reading for the value table: the reply map's "key" and the value's text.
    void recvValue(QString uuid, QString key, QString text);

private:
    void poll();
    void readReplies();
    void send(const QByteArray &payload);
    void report(const Reading &reading);

    const QString m_uuid;
    const QVariantMap m_request;
    const QVariantMap m_reply;
    const QString m_data;
    const QHostAddress m_target;
    const quint16 m_targetPort;
    const bool m_hex;
    const Cut m_cut;
    QUdpSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
};

class ListenThread : public QObject
{
    Q_OBJECT
public:
    explicit ListenThread(QObject *parent = nullptr);
    ~ListenThread() override; // stops and joins

    // Before start: the docker's objectName and its "send" and "recv" maps.
    void setUuid(const QString &uuid);
    QString uuid() const { return m_uuid; }
    void setMaps(const QVariantMap &request, const QVariantMap &reply);

    // A new worker in the listener's thread; each start primes and polls from the beginning.
    void start();
    // Asks the thread to end without waiting for it.
    void quit();
    // Quits and joins the thread; the worker goes with it.
    void stop();
    void restart();

signals:
    void recvStep(QString uuid, int value);
    void recvValue(QString uuid, QString key, QString text);

private:
    QString m_uuid;
    QVariantMap m_request;
    QVariantMap m_reply;
    QThread m_thread;
};

class Listeners : public QObject
{
    Q_OBJECT
public:
    explicit Listeners(QObject *parent = nullptr);
    ~Listeners() override;

    // Starts a listener for one docker.
    void add(const QString &uuid, const QVariantMap &request, const QVariantMap &reply);
    // Stops and joins every listener; values they had already sent are dropped.
    void stopAll();
    int count() const { return int(m_threads.size()); }

signals:
    void value(QString uuid, int value);
    void valueText(QString uuid, QString key, QString text);

private:
    std::vector<std::unique_ptr<ListenThread>> m_threads;
    quint64 m_generation = 0; // bumped by stopAll: late values of stopped listeners are dropped
};

} // namespace kora::levels
