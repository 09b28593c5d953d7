#include "video/ffmpegthread.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/datagramsocket.h"
#include "video/snapshotstream.h"

#include <QTimer>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace kora::video;
using kora::LogThrottle;

static_assert(kPacketPadding >= AV_INPUT_BUFFER_PADDING_SIZE, "the decoders read ahead of a packet's end");

namespace {
constexpr int kReceiveBufferBytes = 800000;

const char *describe(PreviewAssembler::Refused refused)
{
    switch (refused) {
    case PreviewAssembler::Refused::NotStream: return "not a stream datagram";
    case PreviewAssembler::Refused::TooLong: return "longer than a datagram can be";
    case PreviewAssembler::Refused::NoFragments: return "frame of 0 fragments";
    case PreviewAssembler::Refused::None: break;
    }
    return "";
}

bool tooLarge(const QSize &size)
{
    return size.width() > kMaxPictureSide || size.height() > kMaxPictureSide
        || qint64(size.width()) * size.height() > kMaxPicturePixels;
}
} // namespace

FFmpegThread::FFmpegThread(QObject *parent)
    : QObject(parent)
{
}

// The socket and the timer are children; the FFmpeg objects free themselves.
FFmpegThread::~FFmpegThread() = default;

KeyframeRequests &FFmpegThread::keyframeRequests()
{
    static KeyframeRequests requests;
    return requests;
}

QImage FFmpegThread::takeFrame(const QSize &shown, quint64 *serial, qint64 *stamp)
{
    std::shared_ptr<FrameSlot> slot;
    {
        QMutexLocker lock(&m_slotsMutex);
        slot = m_slots.value(shown);
    }
    QImage image = slot ? slot->read(serial, stamp) : QImage();
    if (!image.isNull())
        ++m_taken;
    return image;
}

QSize FFmpegThread::sourceSize() const
{
    QMutexLocker lock(&m_slotsMutex);
    return m_source;
}

QString FFmpegThread::sourceCodec() const
{
    QMutexLocker lock(&m_slotsMutex);
    return m_codec;
}

PreviewCounters FFmpegThread::counters() const
{
    PreviewCounters c;
    c.datagrams = m_datagrams.load();
    c.framesDecoded = m_decoded.load();
    c.framesTaken = m_taken.load();
    c.framesDropped = m_dropped.load();
    c.gaps = m_gaps.load();
    c.malformed = m_malformed.load();
    c.waitingDiscarded = m_discarded.load();
    c.copies = m_copies.load();
    c.strays = m_strays.load();
    c.registrations = m_registrations.load();
    c.keyframeRequests = m_keyframeRequests.load();
    c.decodeNs = m_decodeNs.load();
    return c;
}

void FFmpegThread::init()
{
    if (m_socket)
        return;
    routeFfmpegLog();
    m_socket = new DatagramSocket(this);
    connect(m_socket, &DatagramSocket::readyRead, this, &FFmpegThread::readDatagrams);
    m_registrationTimer = new QTimer(this);
    m_registrationTimer->setInterval(kStreamRegistrationIntervalMs);
    connect(m_registrationTimer, &QTimer::timeout, this, &FFmpegThread::sendRegistration);
    m_keyframeTimer = new QTimer(this);
    m_keyframeTimer->setSingleShot(true);
    connect(m_keyframeTimer, &QTimer::timeout, this, [this] {
        if (m_gate.state() != RecoveryGate::State::Clean)
            requestKeyframe();
    });
    openDecoder(false);
}

void FFmpegThread::setMulticastMsg(const QString &address, int port)
{
    m_group = address.trimmed();
    m_address = QHostAddress(m_group);
    m_port = (port > 0 && port <= 65535) ? quint16(port) : 0;
}

void FFmpegThread::setEncoder(const QString &address)
{
    const QString node = address.section(QLatin1Char('-'), 0, 0).trimmed(); // "192.168.6.112-0" names channel 0 of .112
    m_encoder = QHostAddress(node).protocol() == QAbstractSocket::IPv4Protocol ? node : QString();
}

void FFmpegThread::multicastInit()
{
    if (!m_socket)
        init();
    // A new join replaces the earlier one: its binding and membership go with close().
    m_registrationTimer->stop();
    m_socket->close();
    m_joined = false;
    m_assembler.reset();
    m_gate.lost();
    if (m_decoder)
        avcodec_flush_buffers(m_decoder.get());
    else
        openDecoder(m_hevc); // the last set-up failed: try again for the new stream

    QString error;
    if (m_address.isNull() || !m_socket->open(m_address, m_port, kReceiveBufferBytes, &error)) {
        KWARN(lcVideo) << "joinMulticastGroup false: cannot receive" << m_group << m_port << error;
        return;
    }
    const bool joined = m_socket->join();
    KTRACE(lcVideo) << "joinMulticastGroup" << joined << qUtf8Printable(m_group) << m_port << "receive buffer"
                    << m_socket->receiveBufferSize();
    if (!joined)
        KWARN(lcVideo) << "cannot join" << qUtf8Printable(m_group) << m_port << "yet (no route to the group?): tried again with each registration";
    m_joined = true;
    m_awaitingStream = true;
    m_registrationTimer->start();
    sendRegistration();
}

void FFmpegThread::abortMulticast()
{
    if (!m_joined)
        return;
    m_registrationTimer->stop();
    m_keyframeTimer->stop();
    m_socket->close();
    m_joined = false;
    if (m_decoder)
        avcodec_flush_buffers(m_decoder.get());
    m_assembler.reset();
    {
        QMutexLocker lock(&m_slotsMutex);
        for (const auto &slot : qAsConst(m_slots))
            slot->clear();
        m_source = QSize();
        m_codec.clear();
    }
    KTRACE(lcVideo) << "left" << qUtf8Printable(m_group) << m_port;
    emit sig_abort();
}

void FFmpegThread::addView(const QSize &shown)
{
    ++m_views[shown];
    QMutexLocker lock(&m_slotsMutex);
    if (!m_slots.contains(shown))
        m_slots.insert(shown, std::make_shared<FrameSlot>());
}

void FFmpegThread::removeView(const QSize &shown)
{
    auto it = m_views.find(shown);
    if (it == m_views.end() || --*it > 0)
        return;
    m_views.erase(it);
    m_converters.clear(); // made again for the sizes still shown
    QMutexLocker lock(&m_slotsMutex);
    m_slots.remove(shown);
}

void FFmpegThread::setRegistrationInterval(int ms)
{
    if (!m_socket)
        init();
    m_registrationTimer->setInterval(qMax(10, ms));
}

void FFmpegThread::readDatagrams()
{
    // A batch at a time: more waiting come with the next turn of the event loop, after the
    // queued calls (leave, quit) that a stream faster than we decode must not hold up.
    m_socket->read(kReadBatch, [this](const char *data, int size) {
        // The assembler copies what it keeps, so the buffer can be reused.
        handleDatagram(QByteArray::fromRawData(data, size));
    });
}

void FFmpegThread::sendRegistration()
{
    if (!m_joined)
        return;
    // A join refused while the network was down (cable out, interface not up yet) would
    // leave the monitor blank for good once it is back.
    if (!m_socket->joined() && m_socket->join())
        KINFO(lcVideo) << "joined" << qUtf8Printable(m_group) << m_port << "now";
    m_socket->send(registrationMessage(m_address.toString(), m_port), m_address, kStreamRegistrationPort);
    ++m_registrations;
}

void FFmpegThread::requestKeyframe()
{
    if (!m_joined || m_encoder.isEmpty() || m_keyframeTimer->isActive())
        return;
    const qint64 wait = keyframeRequests().allow(m_encoder, steadyNs() / 1000000);
    if (wait > 0) {
        // Asked of this encoder less than a second ago: once that second is over, if the
        // picture still waits.
        m_keyframeTimer->start(int(wait));
        return;
    }
    if (wait < 0)
        return;
    m_socket->send(keyframeRequest(), QHostAddress(m_encoder), kNodePort);
    ++m_keyframeRequests;
    // Asked again a second on while the picture still waits: the request (or the keyframe
    // it brought) may be lost, and an encoder without periodic keyframes sends none unasked.
    m_keyframeTimer->start(kKeyframeRequestGapMs);
    KTRACE(lcVideo) << "keyframe asked of" << m_encoder << "for" << qUtf8Printable(m_group) << m_port;
}

void FFmpegThread::lost(const char *why)
{
    ++m_gaps;
    m_gate.lost();
    if (m_decoder)
        avcodec_flush_buffers(m_decoder.get()); // its references are gone; it starts clean again
    requestKeyframe();
    int skipped = 0;
    if (m_throttle.allow(QStringLiteral("lost"), &skipped))
        KWARN(lcVideo) << "preview" << why << "- holding the last picture until the decoder is clean"
                       << qUtf8Printable(m_group) << m_port << LogThrottle::heldBack(skipped).constData();
}

void FFmpegThread::handleDatagram(const QByteArray &datagram)
{
    ++m_datagrams;
    const PreviewAssembler::Result r = m_assembler.add(datagram);
    int skipped = 0;
    if (r.refused != PreviewAssembler::Refused::None) {
        ++m_malformed;
        if (m_throttle.allow(QStringLiteral("refused"), &skipped))
            KWARN(lcVideo) << "preview datagram refused:" << describe(r.refused) << datagram.size() << "bytes"
                           << qUtf8Printable(m_group) << m_port << LogThrottle::heldBack(skipped).constData();
    }
    if (r.dropped == PreviewAssembler::Dropped::Copy)
        ++m_copies;
    else if (r.dropped == PreviewAssembler::Dropped::Stray)
        ++m_strays;
    if (!r.stream)
        return;
    if (m_awaitingStream) {
        // The stream is there: the first picture need not wait for the encoder's next
        // keyframe. (Asked before the stream flows, an encoder that only starts it has
        // nothing to restart.)
        m_awaitingStream = false;
        if (m_gate.state() != RecoveryGate::State::Clean)
            requestKeyframe();
    }
    if (r.gap)
        lost("frame lost");
    if (!r.complete())
        return;
    m_arrivedNs = steadyNs();
    for (int i = 0; i < r.frames; ++i) {
        const FrameKind kind = m_assembler.frameKind(i);
        if (m_assembler.frameSize(i) == 0)
            continue; // nothing to decode, nothing damaged
        if (kind == FrameKind::Jpeg) {
            decodeJpeg(QByteArray::fromRawData(reinterpret_cast<const char *>(m_assembler.frameData(i)), m_assembler.frameSize(i)));
            continue;
        }
        // The codec of a frame the stream handed out, never of any datagram: a stray or a
        // copy with other flags must not tear the decoder down.
        const bool hevc = kind == FrameKind::H265;
        if (hevc != m_hevc) {
            KTRACE(lcVideo) << "stream codec now" << (hevc ? "H.265" : "H.264");
            openDecoder(hevc);
            requestKeyframe();
        }
        if (m_decoder)
            decodeFrame(m_assembler.frameData(i), m_assembler.frameSize(i));
    }
}

bool FFmpegThread::openDecoder(bool hevc)
{
    m_decoder.reset();
    m_hevc = hevc;
    m_gate.lost();
    if (!m_packet)
        m_packet.reset(av_packet_alloc());
    if (!m_frame)
        m_frame.reset(av_frame_alloc());
    if (!m_packet || !m_frame)
        return false;
    m_decoder = openVideoDecoder(hevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264);
    if (m_decoder && !hevc) {
        // The H.264 decoder hands over each row of macroblocks once it is final.
        m_decoder->opaque = this;
        m_decoder->draw_horiz_band = [](AVCodecContext *c, const AVFrame *frame, int *, int y, int, int height) {
            static_cast<FFmpegThread *>(c->opaque)->convertBand(frame, y, height);
        };
    }
    return m_decoder != nullptr;
}

void FFmpegThread::decodeFrame(const uchar *data, int size)
{
    const AccessUnitInfo info = scanAccessUnit(data, size, m_hevc);
    if (info.announced.isValid() && tooLarge(info.announced)) {
        ++m_malformed;
        int skipped = 0;
        if (m_throttle.allow(QStringLiteral("size"), &skipped))
            KWARN(lcVideo) << "preview refused: the stream announces" << info.announced.width() << "x"
                           << info.announced.height() << qUtf8Printable(m_group) << m_port
                           << LogThrottle::heldBack(skipped).constData();
        m_gate.lost();
        return;
    }
    const RecoveryGate::Step step = m_gate.next(info);
    switch (step.feed) {
    case RecoveryGate::Feed::Skip:
        ++m_discarded;
        return;
    case RecoveryGate::Feed::ParameterSets: {
        // The decoder keeps them for the keyframe to come; the slices would only refer to
        // pictures it does not have.
        ++m_discarded;
        QByteArray sets(reinterpret_cast<const char *>(data), info.parameterSetBytes);
        sets.append(kPacketPadding, '\0');
        sendPacket(reinterpret_cast<const uchar *>(sets.constData()), info.parameterSetBytes, false);
        return;
    }
    case RecoveryGate::Feed::Whole:
        if (!sendPacket(data, size, step.show) && step.show)
            lost("picture damaged");
        return;
    }
}

bool FFmpegThread::sendPacket(const uchar *data, int size, bool show)
{
    // A counted packet: the decoder takes a reference to it instead of copying the bytes into
    // an allocation of its own for every frame.
    const int needed = size + AV_INPUT_BUFFER_PADDING_SIZE;
    if (!m_packetBuffer || !av_buffer_is_writable(m_packetBuffer.get()) || m_packetBuffer->size < size_t(needed))
        m_packetBuffer.reset(av_buffer_alloc(needed + size / 2)); // room for a larger frame
    if (m_packetBuffer) {
        std::memcpy(m_packetBuffer->data, data, size_t(size));
        std::memset(m_packetBuffer->data + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        m_packet->buf = av_buffer_ref(m_packetBuffer.get());
        data = m_packetBuffer->data;
    }
    m_packet->data = const_cast<uint8_t *>(data); // uncounted if that failed: the decoder copies it
    m_packet->size = size;
    for (const auto &converter : qAsConst(m_converters))
        converter->dropBands();
    int r = avcodec_send_packet(m_decoder.get(), m_packet.get());
    av_packet_unref(m_packet.get());
    bool whole = r >= 0 || r == AVERROR(EAGAIN);
    int skipped = 0;
    if (!whole && show && m_throttle.allow(QStringLiteral("decode"), &skipped))
        KWARN(lcVideo) << "decoding failed:" << qUtf8Printable(avError(r)) << LogThrottle::heldBack(skipped).constData();
    for (;;) {
        r = avcodec_receive_frame(m_decoder.get(), m_frame.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            break;
        if (r < 0) {
            whole = false;
            break;
        }
        const QSize source(m_frame->width, m_frame->height);
        // Concealed or missing references: what the decoder made up must not reach the screen.
        if (m_frame->decode_error_flags || (m_frame->flags & AV_FRAME_FLAG_CORRUPT))
            whole = false;
        if (!show || !whole || m_views.isEmpty()) {
            av_frame_unref(m_frame.get());
            continue;
        }
        QHash<QSize, QImage> byOutput;
        for (const QSize &out : outputSizes(source))
            byOutput.insert(out, converterFor(out).convert(m_frame.get(), out));
        av_frame_unref(m_frame.get());
        publish(byOutput, source, m_hevc ? FrameKind::H265 : FrameKind::H264);
    }
    if (!whole && show)
        ++m_malformed;
    return whole;
}

FrameConverter &FFmpegThread::converterFor(const QSize &out)
{
    auto &converter = m_converters[out];
    if (!converter)
        converter = std::make_shared<FrameConverter>();
    return *converter;
}

// Converts the rows while the decoder's writes are still in the cache: the picture is read
// from memory once instead of twice.
void FFmpegThread::convertBand(const AVFrame *frame, int y, int height)
{
    for (const QSize &out : outputSizes(croppedSize(frame)))
        converterFor(out).convertBand(frame, y, height, out);
}

QVarLengthArray<QSize, 4> FFmpegThread::outputSizes(const QSize &source) const
{
    QVarLengthArray<QSize, 4> sizes;
    for (auto it = m_views.cbegin(); it != m_views.cend(); ++it) {
        const QSize out = previewOutputSize(source, it.key());
        if (std::find(sizes.cbegin(), sizes.cend(), out) == sizes.cend())
            sizes.append(out);
    }
    return sizes;
}

void FFmpegThread::decodeJpeg(const QByteArray &file)
{
    QString error;
    QSize largest;
    for (auto it = m_views.cbegin(); it != m_views.cend(); ++it)
        largest = largest.expandedTo(it.key());
    const QImage image = kora::video::decodeJpeg(file, largest, JpegScale::Preview, &error);
    if (image.isNull()) {
        ++m_malformed;
        int skipped = 0;
        if (m_throttle.allow(QStringLiteral("jpeg"), &skipped))
            KWARN(lcVideo) << "JPEG frame refused:" << error << LogThrottle::heldBack(skipped).constData();
        return;
    }
    QHash<QSize, QImage> byOutput;
    for (const QSize &out : outputSizes(image.size()))
        byOutput.insert(out, image);
    publish(byOutput, image.size(), FrameKind::Jpeg);
}

void FFmpegThread::publish(const QHash<QSize, QImage> &byOutput, const QSize &source, FrameKind kind)
{
    QVector<QSize> tell;
    {
        QMutexLocker lock(&m_slotsMutex);
        m_source = source;
        m_codec = kind == FrameKind::Jpeg ? QStringLiteral("JPEG") : kind == FrameKind::H265 ? QStringLiteral("H.265") : QStringLiteral("H.264");
        for (auto it = m_slots.cbegin(); it != m_slots.cend(); ++it) {
            const QImage image = byOutput.value(previewOutputSize(source, it.key()));
            if (image.isNull())
                continue;
            if ((*it)->put(image, m_arrivedNs))
                tell.append(it.key());
            else
                ++m_dropped;
        }
    }
    ++m_decoded;
    if (m_arrivedNs > 0)
        m_decodeNs += quint64(qMax<qint64>(0, steadyNs() - m_arrivedNs));
    for (const QSize &shown : qAsConst(tell))
        emit frameReady(shown);
}
