#pragma once
// The live decoder of one preview stream, shared by every item that shows it (see
// PreviewStreams). Lives in its own thread ("preview <group>:<port>"); items reach it only
// through queued calls and take the newest picture of their size from its frame slots when
// told by frameReady().
//
// join: the stream's socket (DatagramSocket) binds and joins the group (a refused join is
// tried again with each registration), or binds a unicast address. It registers with the
// encoder now and every 5 s, and asks the encoder for a keyframe once the stream flows
// (see KeyframeRequests).
// Datagrams are joined into frames (PreviewAssembler); each whole frame goes to the decoder
// as one packet. After a loss or a decode error no picture is shown until the decoder is
// clean again (RecoveryGate), and the encoder is asked for a keyframe. Pictures are
// converted once per distinct output size and reach the items through one-picture slots.
// Reading stops after a batch of datagrams to let queued calls (leave, quit) through.
#include "log/throttle.h"
#include "video/previewassembler.h"
#include "video/previewgate.h"
#include "video/rtspsource.h"
#include "video/videoframeitem.h"

#include <QHash>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QVarLengthArray>

#include <atomic>
#include <memory>

class QTimer;
namespace kora::video {
class DatagramSocket;
}

struct PreviewCounters {
    quint64 datagrams = 0;
    quint64 framesDecoded = 0;    // pictures decoded and found whole
    quint64 framesTaken = 0;      // taken by the items
    quint64 framesDropped = 0;    // replaced in a slot before an item took them
    quint64 gaps = 0;             // lost frames (unfinished, skipped sequence) and decode errors
    quint64 malformed = 0;        // refused datagrams and frames that would not decode
    quint64 waitingDiscarded = 0; // frames not decoded while waiting for a clean picture
    quint64 copies = 0;           // repeated datagrams dropped
    quint64 strays = 0;           // datagrams of a foreign sequence dropped
    quint64 registrations = 0;
    quint64 keyframeRequests = 0;
    quint64 decodeNs = 0;         // summed time from a frame's last datagram to its pictures
};

class FFmpegThread : public QObject
{
    Q_OBJECT
public:
    static constexpr int kReadBatch = 128; // datagrams per wake-up

    explicit FFmpegThread(QObject *parent = nullptr);
    // In the worker thread (deleted from QThread::finished), or in any thread when the
    // thread never started.
    ~FFmpegThread() override;

    // Any thread. The newest picture at `shown` (a size an item asked for with addView())
    // when it is newer than `*serial`; `stamp`: when the frame's last datagram was handled.
    QImage takeFrame(const QSize &shown, quint64 *serial, qint64 *stamp = nullptr);
    PreviewCounters counters() const;
    bool isJoined() const { return m_joined.load(); }
    // The size of the stream's pictures, empty before the first.
    QSize sourceSize() const;
    // "H.264", "H.265" or "JPEG": the codec of the last picture; empty before the first.
    QString sourceCodec() const;
    static kora::video::KeyframeRequests &keyframeRequests();

public slots:
    // Worker thread.
    void init();
    void setMulticastMsg(const QString &address, int port);
    void setEncoder(const QString &address); // where key-frame requests go; empty: nowhere
    void multicastInit();
    void abortMulticast();
    // An item shows the stream at this size (device pixels); counted per size.
    void addView(const QSize &shown);
    void removeView(const QSize &shown);
    void setRegistrationInterval(int ms); // tests shorten the 5 s
    // One stream datagram, as if it came from the socket (also the tests' way in).
    void handleDatagram(const QByteArray &datagram);

signals:
    void frameReady(QSize shown); // the slot of that size went from empty to full
    void sig_abort();             // left the stream: show nothing

private:
    void readDatagrams();
    void sendRegistration();
    void requestKeyframe();
    void lost(const char *why);
    bool openDecoder(bool hevc);
    void decodeFrame(const uchar *data, int size);
    bool sendPacket(const uchar *data, int size, bool show);
    kora::video::FrameConverter &converterFor(const QSize &out);
    void convertBand(const AVFrame *frame, int y, int height);
    QVarLengthArray<QSize, 4> outputSizes(const QSize &source) const; // one per distinct size the views need
    void decodeJpeg(const QByteArray &file);
    void publish(const QHash<QSize, QImage> &byOutput, const QSize &source, kora::video::FrameKind kind);

    // Worker thread only.
    kora::video::DatagramSocket *m_socket = nullptr;
    QTimer *m_registrationTimer = nullptr;
    QTimer *m_keyframeTimer = nullptr; // the next request while the picture waits (once a second at most)
    QString m_group;
    QHostAddress m_address;
    QString m_encoder;
    quint16 m_port = 0;
    QHash<QSize, int> m_views; // shown size -> items showing it
    kora::video::PreviewAssembler m_assembler;
    kora::video::RecoveryGate m_gate;
    bool m_hevc = false;
    bool m_awaitingStream = false; // joined, no stream datagram yet
    kora::video::AvPtr<AVCodecContext> m_decoder; // null after a failed set-up
    kora::video::AvPtr<AVPacket> m_packet;
    kora::video::AvPtr<AVBufferRef> m_packetBuffer; // the packets' bytes, written again once the decoder let go
    kora::video::AvPtr<AVFrame> m_frame;
    QHash<QSize, std::shared_ptr<kora::video::FrameConverter>> m_converters; // by output size
    kora::LogThrottle m_throttle;
    qint64 m_arrivedNs = 0; // when the frame being decoded was complete (steadyNs())

    // Any thread.
    mutable QMutex m_slotsMutex;
    QHash<QSize, std::shared_ptr<kora::video::FrameSlot>> m_slots; // by shown size; guarded by m_slotsMutex
    QSize m_source;                                                // guarded by m_slotsMutex
    QString m_codec;                                               // guarded by m_slotsMutex
    std::atomic<bool> m_joined{false}; // written by the worker thread
    std::atomic<quint64> m_datagrams{0};
    std::atomic<quint64> m_decoded{0};
    std::atomic<quint64> m_taken{0};
    std::atomic<quint64> m_dropped{0};
    std::atomic<quint64> m_gaps{0};
    std::atomic<quint64> m_malformed{0};
    std::atomic<quint64> m_discarded{0};
    std::atomic<quint64> m_registrations{0};
    std::atomic<quint64> m_keyframeRequests{0};
    std::atomic<quint64> m_copies{0};
    std::atomic<quint64> m_strays{0};
    std::atomic<quint64> m_decodeNs{0};
};
