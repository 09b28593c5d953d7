#pragma once
// The node control as the QML tests see it ("NodeControl"): it records the watch calls of
// the monitors, and the tests emit its signals as the pollers' answers would.
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class FakeNodeControl : public QObject
{
    Q_OBJECT
    // "insert ip type" and "delete ip type", in order.
    Q_PROPERTY(QStringList calls MEMBER m_calls NOTIFY callsChanged)
public:
    using QObject::QObject;
    Q_INVOKABLE void insertMemToQuery(QString ip, int type) { record(QStringLiteral("insert"), ip, type); }
    Q_INVOKABLE void deleteMemFromQuery(QString ip, int type) { record(QStringLiteral("delete"), ip, type); }
    Q_INVOKABLE void reset()
    {
        m_calls.clear();
        emit callsChanged();
    }

signals:
    void querySysMsg(QVariantMap sys_msg, QString node_ip);
    void queryNoAnswer(QString node_ip);
    void callsChanged();

private:
    void record(const QString &what, const QString &ip, int type)
    {
        m_calls.append(QStringLiteral("%1 %2 %3").arg(what, ip).arg(type));
        emit callsChanged();
    }
    QStringList m_calls;
};
