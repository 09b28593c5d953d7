#pragma once
// Receiver of the project package: fragment datagrams on port 54322, read in a thread of
// their own so a burst is drained while the window is busy.
#include <QByteArray>
#include <QThread>
#include <atomic>

class UDPThread : public QThread
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 54322;

    explicit UDPThread(QObject *parent = nullptr);
    ~UDPThread() override;

    // Both threads read these; only the receiver thread writes them.
    bool isBound() const { return m_bound.load(); }
    quint64 datagramsReceived() const { return m_datagrams.load(); }

signals:
    void recvData(QByteArray str, bool error);
    void recvStep(float percent);

protected:
    void run() override; // receiver thread: owns the socket and the silence timer

private:
    std::atomic<bool> m_bound{false};
    std::atomic<quint64> m_datagrams{0};
};
