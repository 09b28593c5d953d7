#pragma once
// The live preview decoder of one multicast stream. Lives in its own thread ("preview
// <group>:<port>", owned by the item); the item reaches it only through queued calls, and
// takes the newest picture from its frame slot when told by frameReady().
//
// join: bind to the group address itself (so only that group's datagrams arrive, even when
// several groups share the port), join it, register with the encoder now and every 5 s.
// Datagrams are put together into frames; H.264/H.265 goes through the parser and decoder,
// JPEG frames through Qt's JPEG reader; pictures are converted to RGB32 at the shown size when
// that is well below the source. A fresh decoder (join, codec switch) and a lost frame
// both wait for a keyframe: pictures decoded without their references would be garbage.
#include "log/throttle.h"
#include "video/previewassembler.h"
#include "video/rtspsource.h"
#include "video/videoframeitem.h"

#include <QHostAddress>
#include <QObject>
#include <QSize>

#include <atomic>

class QTimer;
class QUdpSocket;

struct PreviewCounters {
    quint64 datagrams = 0;
    quint64 framesDecoded = 0;    // pictures put into the frame slot
    quint64 framesTaken = 0;      // taken by the GUI
    quint64 framesDropped = 0;    // replaced in the slot before the GUI took them
    quint64 gaps = 0;             // lost frames (unfinished, duplicated, skipped sequence)
    quint64 malformed = 0;        // refused datagrams and frames that would not decode
    quint64 waitingDiscarded = 0; // frames discarded while waiting for a keyframe
    quint64 registrations = 0;
};

class FFmpegThread : public QObject
{
    Q_OBJECT
public:
    explicit FFmpegThread(QObject *parent = nullptr);
    // In the worker thread (deleted from QThread::finished), or in any thread when the
    // thread never started.
    ~FFmpegThread() override;

    // Any thread.
    QImage takeFrame(qint64 *stamp = nullptr); // stamp: when the frame's last datagram was handled
    PreviewCounters counters() const;
    bool isJoined() const { return m_joined.load(); }

public slots:
    // Worker thread.
    void init();
    void setMulticastMsg(const QString &address, int port);
    void multicastInit();
    void abortMulticast();
    void setTargetSize(const QSize &pixels);
    void setRegistrationInterval(int ms); // tests shorten the 5 s
    // One stream datagram, as if it came from the socket (also the tests' way in).
    void handleDatagram(const QByteArray &datagram);

signals:
    void frameReady(); // the frame slot went from empty to full
    void sig_abort();  // left the group: show nothing

private:
    void readDatagrams();
    void sendRegistration();
    bool openDecoder(bool hevc);
    void closeDecoder();
    void decodeAnnexB(const QByteArray &frame);
    void sendPacket(const uint8_t *data, int size);
    void decodeJpeg(const QByteArray &file);
    void publish(const QImage &image);

    // Worker thread only.
    QUdpSocket *m_socket = nullptr;
    QTimer *m_registrationTimer = nullptr;
    QString m_group;
    QHostAddress m_groupAddress;
    quint16 m_port = 0;
    QSize m_target;
    kora::video::PreviewAssembler m_assembler;
    bool m_hevc = false;
    bool m_waitForKeyframe = true; // a fresh decoder or a lost frame: start at a keyframe
    kora::video::AvPtr<AVCodecContext> m_decoder; // null after a failed set-up
    kora::video::AvPtr<AVCodecParserContext> m_parser;
    kora::video::AvPtr<AVPacket> m_packet;
    kora::video::AvPtr<AVFrame> m_frame;
    kora::video::FrameConverter m_converter;
    QByteArray m_input;    // the frame plus the parser's zero padding
    QByteArray m_readBuffer;
    kora::LogThrottle m_throttle;
    qint64 m_arrivedNs = 0; // when the frame being decoded was complete (steadyNs())

    // Any thread.
    kora::video::FrameSlot m_slot;
    std::atomic<bool> m_joined{false}; // written by the worker thread
    std::atomic<quint64> m_datagrams{0};
    std::atomic<quint64> m_decoded{0};
    std::atomic<quint64> m_taken{0};
    std::atomic<quint64> m_gaps{0};
    std::atomic<quint64> m_malformed{0};
    std::atomic<quint64> m_discarded{0};
    std::atomic<quint64> m_registrations{0};
};
