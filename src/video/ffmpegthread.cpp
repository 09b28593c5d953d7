#include "video/ffmpegthread.h"

#include "log/categories.h"
#include "log/trace.h"
#include "video/groupsocket.h"
#include "video/snapshotstream.h"

#include <QTimer>
#include <QUdpSocket>

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

using namespace kora::video;
using kora::LogThrottle;

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
} // namespace

FFmpegThread::FFmpegThread(QObject *parent)
    : QObject(parent)
{
}

// The socket and the timer are children; the FFmpeg objects free themselves.
FFmpegThread::~FFmpegThread() = default;

QImage FFmpegThread::takeFrame(qint64 *stamp)
{
    QImage image = m_slot.take(stamp);
    if (!image.isNull())
        ++m_taken;
    return image;
}

PreviewCounters FFmpegThread::counters() const
{
    PreviewCounters c;
    c.datagrams = m_datagrams.load();
    c.framesDecoded = m_decoded.load();
    c.framesTaken = m_taken.load();
    c.framesDropped = m_slot.dropped();
    c.gaps = m_gaps.load();
    c.malformed = m_malformed.load();
    c.waitingDiscarded = m_discarded.load();
    c.registrations = m_registrations.load();
    return c;
}

void FFmpegThread::init()
{
    if (m_socket)
        return;
    routeFfmpegLog();
    m_socket = new QUdpSocket(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &FFmpegThread::readDatagrams);
    m_registrationTimer = new QTimer(this);
    m_registrationTimer->setInterval(kStreamRegistrationIntervalMs);
    connect(m_registrationTimer, &QTimer::timeout, this, &FFmpegThread::sendRegistration);
    m_readBuffer.resize(kMaxDatagram + 1);
    openDecoder(false);
}

void FFmpegThread::setMulticastMsg(const QString &address, int port)
{
    m_group = address.trimmed();
    m_groupAddress = QHostAddress(m_group);
    m_port = (port > 0 && port <= 65535) ? quint16(port) : 0;
}

void FFmpegThread::multicastInit()
{
    if (!m_socket)
        init();
    // A new join replaces the earlier one: its binding and membership go with abort().
    m_registrationTimer->stop();
    m_socket->abort();
    m_joined = false;
    m_assembler.reset();
    if (m_decoder) {
        avcodec_flush_buffers(m_decoder.get());
        m_parser.reset(av_parser_init(m_hevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264));
        if (m_parser)
            m_parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
        else
            KWARN(lcVideo) << "could not create the stream parser";
    } else {
        openDecoder(m_hevc); // the last set-up failed: try again for the new stream
    }
    m_waitForKeyframe = true;

    if (!m_groupAddress.isMulticast() || m_port == 0) {
        KWARN(lcVideo) << "joinMulticastGroup false: not a multicast group" << m_group << m_port;
        return;
    }
    // Only this stream's group: other streams may come to the same port.
    if (!bindToGroup(*m_socket, m_groupAddress, m_port)) {
        KWARN(lcVideo) << "bind failed" << m_group << m_port << m_socket->errorString();
        return;
    }
    m_socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    const bool joined = m_socket->joinMulticastGroup(m_groupAddress);
    KTRACE(lcVideo) << "joinMulticastGroup" << joined << qUtf8Printable(m_group) << m_port << "receive buffer"
                    << m_socket->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption).toInt();
    m_joined = true;
    m_registrationTimer->start();
    sendRegistration();
}

void FFmpegThread::abortMulticast()
{
    if (!m_joined)
        return;
    m_registrationTimer->stop();
    m_socket->leaveMulticastGroup(m_groupAddress);
    m_socket->close();
    m_joined = false;
    if (m_decoder)
        avcodec_flush_buffers(m_decoder.get());
    m_parser.reset();
    m_assembler.reset();
    m_slot.clear();
    KTRACE(lcVideo) << "left" << qUtf8Printable(m_group) << m_port;
    emit sig_abort();
}

void FFmpegThread::setTargetSize(const QSize &pixels)
{
    m_target = pixels;
}

void FFmpegThread::setRegistrationInterval(int ms)
{
    if (!m_socket)
        init();
    m_registrationTimer->setInterval(qMax(10, ms));
}

void FFmpegThread::readDatagrams()
{
    while (m_socket->hasPendingDatagrams()) {
        const qint64 size = m_socket->readDatagram(m_readBuffer.data(), m_readBuffer.size());
        if (size < 0)
            break;
        // The assembler copies what it keeps, so the buffer can be reused.
        handleDatagram(QByteArray::fromRawData(m_readBuffer.constData(), int(size)));
    }
}

void FFmpegThread::sendRegistration()
{
    if (!m_joined)
        return;
    m_socket->writeDatagram(registrationMessage(m_groupAddress.toString(), m_port), m_groupAddress, kStreamRegistrationPort);
    ++m_registrations;
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
    if (!r.stream)
        return;
    const bool hevc = r.flags & kFlagHevc;
    if (hevc != m_hevc) {
        KTRACE(lcVideo) << "stream codec now" << (hevc ? "H.265" : "H.264");
        openDecoder(hevc);
    }
    if (r.gap) {
        ++m_gaps;
        m_waitForKeyframe = true;
        if (m_throttle.allow(QStringLiteral("gap"), &skipped))
            KWARN(lcVideo) << "preview frame lost, waiting for a keyframe" << qUtf8Printable(m_group) << m_port
                           << LogThrottle::heldBack(skipped).constData();
    }
    if (!r.complete)
        return;
    m_arrivedNs = steadyNs();
    const QByteArray frame = m_assembler.takeFrame();
    if (m_assembler.frameKind() == FrameKind::Jpeg) {
        decodeJpeg(frame);
        return;
    }
    if (!m_decoder || !m_parser)
        return;
    if (m_waitForKeyframe) {
        if (!isKeyframe(frame, m_hevc)) {
            ++m_discarded;
            return;
        }
        // What the decoder holds refers to the lost frame.
        avcodec_flush_buffers(m_decoder.get());
        m_waitForKeyframe = false;
    }
    decodeAnnexB(frame);
}

bool FFmpegThread::openDecoder(bool hevc)
{
    m_decoder.reset();
    m_parser.reset();
    m_hevc = hevc;
    m_waitForKeyframe = true;
    if (!m_packet)
        m_packet.reset(av_packet_alloc());
    if (!m_frame)
        m_frame.reset(av_frame_alloc());
    const AVCodecID id = hevc ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264;
    const AVCodec *codec = avcodec_find_decoder(id);
    if (!codec) {
        KWARN(lcVideo) << "no decoder for" << (hevc ? "H.265" : "H.264");
        return false;
    }
    AvPtr<AVCodecContext> decoder(avcodec_alloc_context3(codec));
    if (!decoder || !m_packet || !m_frame) {
        KWARN(lcVideo) << "could not allocate the decoder";
        return false;
    }
    decoder->flags |= AV_CODEC_FLAG_LOW_DELAY;
    decoder->thread_count = 1; // frame threads would hold pictures back
    if (const int r = avcodec_open2(decoder.get(), codec, nullptr); r < 0) {
        KWARN(lcVideo) << "could not open the decoder:" << qUtf8Printable(avError(r));
        return false;
    }
    AvPtr<AVCodecParserContext> parser(av_parser_init(id));
    if (!parser) {
        KWARN(lcVideo) << "could not create the stream parser";
        return false;
    }
    // Every frame on the wire is one whole picture: the parser need not wait for the next
    // picture to find where this one ends.
    parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    m_decoder = std::move(decoder);
    m_parser = std::move(parser);
    return true;
}

void FFmpegThread::decodeAnnexB(const QByteArray &frame)
{
    if (frame.isEmpty())
        return;
    m_input.resize(frame.size() + AV_INPUT_BUFFER_PADDING_SIZE);
    std::memcpy(m_input.data(), frame.constData(), size_t(frame.size()));
    std::memset(m_input.data() + frame.size(), 0, AV_INPUT_BUFFER_PADDING_SIZE);
    const auto *data = reinterpret_cast<const uint8_t *>(m_input.constData());
    int left = frame.size();
    while (left > 0) {
        uint8_t *packet = nullptr;
        int packetSize = 0;
        const int used = av_parser_parse2(m_parser.get(), m_decoder.get(), &packet, &packetSize, data, left,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++m_malformed;
            int skipped = 0;
            if (m_throttle.allow(QStringLiteral("decode"), &skipped))
                KWARN(lcVideo) << "parser failed:" << qUtf8Printable(avError(used)) << LogThrottle::heldBack(skipped).constData();
            return;
        }
        data += used;
        left -= used;
        if (packetSize > 0)
            sendPacket(packet, packetSize);
        else if (used == 0)
            break; // no progress: nothing more to split
    }
}

void FFmpegThread::sendPacket(const uint8_t *data, int size)
{
    m_packet->data = const_cast<uint8_t *>(data);
    m_packet->size = size;
    int r = avcodec_send_packet(m_decoder.get(), m_packet.get());
    m_packet->data = nullptr;
    m_packet->size = 0;
    int skipped = 0;
    if (r < 0 && r != AVERROR(EAGAIN)) {
        ++m_malformed;
        if (m_throttle.allow(QStringLiteral("decode"), &skipped))
            KWARN(lcVideo) << "decoding failed:" << qUtf8Printable(avError(r)) << LogThrottle::heldBack(skipped).constData();
    }
    for (;;) {
        r = avcodec_receive_frame(m_decoder.get(), m_frame.get());
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            break;
        if (r < 0) {
            if (m_throttle.allow(QStringLiteral("decode"), &skipped))
                KWARN(lcVideo) << "decoding failed:" << qUtf8Printable(avError(r)) << LogThrottle::heldBack(skipped).constData();
            break;
        }
        const QSize source(m_frame->width, m_frame->height);
        const QImage image = m_converter.convert(m_frame.get(), previewOutputSize(source, m_target));
        av_frame_unref(m_frame.get());
        if (image.isNull()) {
            ++m_malformed;
            if (m_throttle.allow(QStringLiteral("picture"), &skipped))
                KWARN(lcVideo) << "picture not converted:" << source << LogThrottle::heldBack(skipped).constData();
            continue;
        }
        publish(image);
    }
}

void FFmpegThread::decodeJpeg(const QByteArray &file)
{
    QString error;
    const QImage image = kora::video::decodeJpeg(file, m_target, JpegScale::Preview, &error);
    if (image.isNull()) {
        ++m_malformed;
        int skipped = 0;
        if (m_throttle.allow(QStringLiteral("jpeg"), &skipped))
            KWARN(lcVideo) << "JPEG frame refused:" << error << LogThrottle::heldBack(skipped).constData();
        return;
    }
    publish(image);
}

void FFmpegThread::publish(const QImage &image)
{
    ++m_decoded;
    if (m_slot.put(image, m_arrivedNs))
        emit frameReady();
}
