#pragma once
// One listener per data docker that reads designed equipment (dockers of type 2).
//
// ListenThread is the docker's thread, named "listen <uuid>": its run() makes the listener's
// UDP socket and poll timer there, sends the request at the designed period (or pings) and
// cuts the value out of every reply. Results leave by signals, queued to their receivers in
// other threads. Listeners owns the threads of one design: started when it is built, stopped
// and joined before the next login, on logout and when the owner goes.
#include "levels/levelvalue.h"

#include <QObject>
#include <QThread>
#include <QVariantMap>
#include <memory>
#include <vector>

namespace kora::levels {

class ListenThread : public QThread
{
    Q_OBJECT
public:
    explicit ListenThread(QObject *parent = nullptr);
    ~ListenThread() override; // stops and joins

    // Before start: the docker's objectName and its "send" (request) and "recv" (reply) maps.
    void setUuid(const QString &uuid);
    QString uuid() const { return m_uuid; }
    void setMaps(const QVariantMap &request, const QVariantMap &reply);
    Cut cut() const { return m_cut; }

    void stop(); // quits the event loop and joins the thread
    void restart();

signals:
    void recvStep(QString uuid, int value);
    // The same reading for the value table: the reply map's "key" and the value's text.
    void recvValue(QString uuid, QString key, QString text);

protected:
    void run() override;

private:
    QString m_uuid;
    QVariantMap m_request;
    QVariantMap m_reply;
    Cut m_cut;
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
