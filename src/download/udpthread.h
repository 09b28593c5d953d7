#pragma once
// Receiver of the project package: fragment datagrams on port 54322, read and assembled by a
// worker object in a thread of its own ("download"), so a burst is drained while the window is
// busy. A complete file is handed over with its MD5 as soon as the socket is drained (10 ms
// later when fragments came out of order or twice, for stragglers); with gaps, the list of the
// fragments still missing after a silence: 500 ms at first, then 20 times the spacing the
// burst showed (at least 20 ms), or 10 ms after an in-order burst visibly ended.
//
// Threads: the owner moves the worker into its thread and calls start() there (queued); from
// then on everything but expectFrom() and the counters belongs to that thread. Results leave
// by the two signals, queued to the owner.
#include "download/fragments.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <atomic>

class QTimer;
class QUdpSocket;

class UDPThread : public QObject
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

public slots:
    // In the receiver thread: binds the socket and makes the silence timer.
    void start();

signals:
    // complete: the whole file and its MD5 (lower-case hex); otherwise the missing sequence
    // numbers ("1,5,9") and an empty MD5.
    void recvData(QByteArray str, bool complete, QByteArray md5);
    void recvStep(float percent);

private:
    QHostAddress expected() const;
    void read();
    void silenceEnded();
    void handOver();
    void reportDropped();
    // Forgets a file that never completed once a new one was asked for.
    void forgetStaleFile();
    int quietMs() const;

    mutable QMutex m_expectedMutex; // guards m_expected: written by the main thread
    QHostAddress m_expected;
    std::atomic<int> m_generation{0}; // bumped for every new file
    std::atomic<bool> m_bound{false};
    std::atomic<quint64> m_datagrams{0};
    std::atomic<quint64> m_dropped{0};

    // Receiver thread only.
    QUdpSocket *m_socket = nullptr;
    QTimer *m_silence = nullptr;
    kora::download::FragmentAssembler m_fragments;
    QMap<QString, int> m_droppedWhy; // since the last silence
    QByteArray m_buffer;             // one for every read: no allocation per datagram
    int m_seenGeneration = 0;
    int m_lastPercent = -1;
    bool m_askedEarly = false; // the gaps of this file were asked for when its burst ended
    // How long a pause means the burst is over: 20 times the usual spacing of its fragments
    // once that is known, between kQuietMinMs and the full silence.
    QElapsedTimer m_sinceStored;
    double m_meanSpacingUs = 0;
    int m_spacings = 0;
};
