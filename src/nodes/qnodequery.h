#pragma once
// Node status polling, exposed to the pages as "NodeControl". Two pollers, decoders and
// encoders, each in a thread of its own, ask every watched node for its status once a
// period; the answers come back to the main thread by queued signals. Monitors watch a
// node only while they are on screen, so a page that is not shown costs no datagrams.
#include "log/throttle.h"
#include "nodes/sysmsg.h"
#include "nodes/watches.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>

class QThread;
class QTimer;
class QUdpSocket;

// One poller: its socket and timer are made by startQuery() in its own thread.
class QNodeQuery : public QObject
{
    Q_OBJECT
public:
    // type 1 asks decoders (port 41234), type 0 encoders (port 12345).
    QNodeQuery(const QHostAddress &localAddress, quint16 localPort, int type, int periodMs = kora::nodes::kPollMs,
               QObject *parent = nullptr);
    QStringList ipList() const { return m_ipList; } // the poller's thread only

public slots:
    void startQuery();
    // Each change of the list asks at once and restarts the period.
    void insertIPList(const QString &ip);
    void deleteIPList(const QString &ip);
    void setIpList(const QStringList &value);
    void timerQueryOutEvent();

signals:
    void resultSysMsg(kora::nodes::SysMsg sys_msg, QString node_ip);
    // The node left kSilentPolls periods in a row unanswered (once, until it answers).
    void noAnswer(QString node_ip);

private:
    void recvFromSendSocket();
    void sendRequest();
    void restart();

    QHostAddress m_localAddress;
    quint16 m_localPort;
    int m_type;
    int m_periodMs;
    // The poller's thread only.
    QStringList m_ipList;
    kora::nodes::Silence m_silence;
    QUdpSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
    kora::LogThrottle m_throttle;
};

class QNodeControl : public QObject
{
    Q_OBJECT
public:
    explicit QNodeControl(const QHostAddress &localAddress, quint16 localPort = 0, int periodMs = kora::nodes::kPollMs,
                          QObject *parent = nullptr);
    ~QNodeControl() override;
    QHostAddress localAddress() const { return m_localAddress; }

    // Stops both pollers and waits for their threads; later watch calls do nothing. Called
    // before the pages go, whose monitors let go of their nodes as they are destroyed.
    void shutdown();

    // A monitor starts or stops watching node `ip` of `type` (1 decoder, 0 encoder; others
    // are ignored). Monitors showing the same node share one entry of the poller's list.
    Q_INVOKABLE void insertMemToQuery(QString ip, int type);
    Q_INVOKABLE void deleteMemFromQuery(QString ip, int type);

public slots:
    void onVdecQuerySysMsg(kora::nodes::SysMsg sys_msg, QString node_ip);
    void onVencQuerySysMsg(kora::nodes::SysMsg sys_msg, QString node_ip);

signals:
    void querySysMsg(QVariantMap sys_msg, QString node_ip);
    void queryNoAnswer(QString node_ip);

private:
    struct Poller {
        QThread *thread = nullptr;
        QNodeQuery *query = nullptr; // lives in `thread`
        kora::nodes::Watchers watchers;
    };
    Poller *pollerOf(int type);
    void startPoller(Poller &poller, int type, const QString &threadName, quint16 localPort, int periodMs);

    QHostAddress m_localAddress; // main thread
    Poller m_vdec;
    Poller m_venc;
    bool m_stopped = false;
};
