#pragma once
// Node status aggregator exposed to the pages as "NodeControl". It knows the local
// address now; the status polling behind it comes with node monitoring.
#include <QHostAddress>
#include <QObject>

class QNodeControl : public QObject
{
    Q_OBJECT
public:
    explicit QNodeControl(const QHostAddress &localAddress, QObject *parent = nullptr);
    QHostAddress localAddress() const { return m_localAddress; }

private:
    QHostAddress m_localAddress; // main thread
};
