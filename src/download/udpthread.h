#pragma once
// Receiver of the project package: fragment datagrams on port 54322, read and assembled in
// a thread of its own so a burst is drained while the window is busy. A complete file is
// handed over with its MD5 as soon as the socket is drained (10 ms later when fragments came
// out of order or twice, for stragglers); with gaps, the list of the fragments still missing
// after a silence: 500 ms at first, then 20 times the spacing the burst showed (at least
// 20 ms), or 10 ms after an in-order burst visibly ended.
#include <QByteArray>
#include <QHostAddress>
#include <QMutex>
#include <QThread>
#include <atomic>

class UDPThread : public QThread
{
    Q_OBJECT
public:
    static constexpr quint16 kPort = 54322;
    static constexpr int kSilenceMs = 500;
    static constexpr int kSettleMs = 10; // after the last missing fragment of an irregular burst
    static constexpr int kQuietMinMs = 20;     // the shortest pause that ends a burst
    static constexpr int kSpacingSamples = 16; // fragments seen before their spacing counts

    explicit UDPThread(QObject *parent = nullptr);
    ~UDPThread() override;

    // Only datagrams from this address count; set before every request (any thread).
    // `newFile` forgets the fragments of a file that never completed.
    void expectFrom(const QHostAddress &host, bool newFile);

    // Both threads read these; only the receiver thread writes them.
    bool isBound() const { return m_bound.load(); }
    quint64 datagramsReceived() const { return m_datagrams.load(); }
    quint64 datagramsDropped() const { return m_dropped.load(); }

signals:
    // complete: the whole file and its MD5 (lower-case hex); otherwise the missing sequence
    // numbers ("1,5,9") and an empty MD5.
    void recvData(QByteArray str, bool complete, QByteArray md5);
    void recvStep(float percent);

protected:
    void run() override; // receiver thread: owns the socket, the timer and the fragments

private:
    QHostAddress expected() const;

    mutable QMutex m_expectedMutex; // guards m_expected: written by the main thread
    QHostAddress m_expected;
    std::atomic<int> m_generation{0}; // bumped for every new file
    std::atomic<bool> m_bound{false};
    std::atomic<quint64> m_datagrams{0};
    std::atomic<quint64> m_dropped{0};
};
