#include "media/sender.h"

#include "media/pattern.h"
#include "media/wire.h"

#include <QJsonObject>
#include <QTimer>

#include <cerrno>
#include <ctime>
#include <limits>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lab {
namespace {
constexpr int kMaxQueued = 256;
constexpr size_t kMaxLate = 4096;
constexpr qint64 kLateNs = 20000000; // a late copy comes after its frame is complete
constexpr int kFloodTickMs = 10;

qint64 wallMicros()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// Waits a little for room in the send buffer rather than losing the datagram, as a
// device's own stack would; gives up after a few milliseconds so one stream cannot stall
// the others.
bool sendOne(int fd, const sockaddr_in &to, const QByteArray &data)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const ssize_t n = ::sendto(fd, data.constData(), size_t(data.size()), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to);
        if (n == data.size())
            return true;
        if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOBUFS))
            return false;
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 2);
    }
    return false;
}

quint8 previewFlags(Codec codec)
{
    return codec == Codec::H265 ? kFlagH265 : codec == Codec::Jpeg ? kFlagJpeg : 0;
}
} // namespace

StreamSender::StreamSender(const LabConfig &config, QObject *encodeContext)
    : m_config(config)
    , m_encodeContext(encodeContext)
    , m_journalFrames(config.journalFrames)
    , m_timer(new QTimer(this))
    , m_dispatchTimer(new QTimer(this))
{
    m_dispatchTimer->setSingleShot(true);
    m_dispatchTimer->setInterval(15);
    connect(m_dispatchTimer, &QTimer::timeout, this, &StreamSender::dispatch);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &StreamSender::tick);
    m_clock.start();
}

StreamSender::~StreamSender()
{
    for (int fd : qAsConst(m_sockets))
        ::close(fd);
}

QString StreamSender::loopKey(const StreamPlan &plan, const LoopFormat &format)
{
    return plan.contentKey() + QLatin1Char(' ') + format.text() + QStringLiteral(" x%1 k%2").arg(format.frames).arg(format.keyInterval);
}

void StreamSender::registration(const StreamPlan &plan, const QHostAddress &from, const QString &peer)
{
    const qint64 nowMs = m_clock.elapsed();
    const QString url = plan.url();
    auto it = m_streams.find(url);
    if (it != m_streams.end()) {
        it->expiresMs = nowMs + plan.holdMs;
        return;
    }
    Stream s;
    s.plan = plan;
    s.peer = peer;
    s.fd = socketFor(from);
    s.wanted = effectiveFormat(plan, m_faults);
    s.paused = plan.host > 0 && m_faults.stopStreams.contains(plan.host);
    s.expiresMs = nowMs + plan.holdMs;
    s.dueNs = m_clock.nsecsElapsed();
    reseed(s);
    emit journalEvent(peer, QStringLiteral("stream start %1 %2 %3").arg(url, streamKindName(plan.kind), s.wanted.text()));
    it = m_streams.insert(url, s);
    want(*it);
    schedule();
}

void StreamSender::setFaults(const FaultPlan &faults)
{
    m_faults = faults;
    for (Stream &s : m_streams) {
        const bool paused = s.plan.host > 0 && faults.stopStreams.contains(s.plan.host);
        if (paused != s.paused)
            emit journalEvent(s.peer, QStringLiteral("stream %1 %2").arg(paused ? "pause" : "resume", s.plan.url()));
        s.paused = paused;
        reseed(s);
        const LoopFormat wanted = effectiveFormat(s.plan, faults);
        if (wanted != s.wanted) {
            s.wanted = wanted;
            s.next.reset();
            want(s);
        }
    }
    schedule();
}

QJsonArray StreamSender::streams() const
{
    const qint64 nowMs = m_clock.elapsed();
    QJsonArray out;
    for (const Stream &s : m_streams) {
        const LoopFormat &f = s.loop ? s.loop->format : s.wanted;
        QJsonObject o{{"url", s.plan.url()},
                      {"kind", streamKindName(s.plan.kind)},
                      {"peer", s.peer},
                      {"codec", codecName(f.codec)},
                      {"width", f.size.width()},
                      {"height", f.size.height()},
                      {"fps", f.fps},
                      {"framesSent", double(s.frames)},
                      {"datagramsSent", double(s.datagrams)},
                      {"sendFailures", double(s.failed)},
                      {"paused", s.paused},
                      {"encoding", !s.loop},
                      {"switching", s.next != nullptr || (s.loop && s.loop->format != s.wanted)},
                      {"expiresInMs", double(qMax<qint64>(0, s.expiresMs - nowMs))}};
        if (s.plan.kind == StreamKind::Mosaic) {
            QJsonArray cells;
            for (int cell : s.plan.cells)
                cells.append(cell);
            o.insert(QStringLiteral("cells"), cells);
        } else {
            o.insert(QStringLiteral("host"), s.plan.host);
        }
        out.append(o);
    }
    return out;
}

void StreamSender::want(Stream &s)
{
    const QString key = loopKey(s.plan, s.wanted);
    auto cached = m_cache.find(key);
    if (cached != m_cache.end()) {
        cached->usedMs = m_clock.elapsed();
        adopt(s, cached->loop);
        return;
    }
    if (key == m_inFlight)
        return;
    for (const EncodeRequest &r : qAsConst(m_queue)) {
        if (r.key == key)
            return;
    }
    if (m_queue.size() >= kMaxQueued) {
        if (m_refusedEncodes++ == 0)
            emit journalEvent(QStringLiteral("media"), QStringLiteral("too many loops waiting to be encoded; %1 stays silent").arg(s.plan.url()));
        return;
    }
    m_queue.append({key, s.plan, s.wanted});
    if (m_inFlight.isEmpty() && !m_dispatchTimer->isActive())
        m_dispatchTimer->start();
}

void StreamSender::dispatch()
{
    if (!m_inFlight.isEmpty())
        return;
    // Only loops a stream still wants, the cheapest first: snapshots and sub streams come
    // up at once even while a large main stream waits its turn.
    for (int i = m_queue.size() - 1; i >= 0; --i) {
        bool wanted = false;
        for (const Stream &s : qAsConst(m_streams))
            wanted = wanted || loopKey(s.plan, s.wanted) == m_queue.at(i).key;
        if (!wanted)
            m_queue.removeAt(i);
    }
    if (m_queue.isEmpty())
        return;
    auto cost = [](const EncodeRequest &r) { return qint64(r.format.size.width()) * r.format.size.height() * r.format.frames; };
    int best = 0;
    for (int i = 1; i < m_queue.size(); ++i) {
        if (cost(m_queue.at(i)) < cost(m_queue.at(best)))
            best = i;
    }
    const EncodeRequest request = m_queue.takeAt(best);
    m_inFlight = request.key;
    QMetaObject::invokeMethod(m_encodeContext, [this, request] {
        QElapsedTimer took;
        took.start();
        const StreamPlan &plan = request.plan;
        const LoopFormat &f = request.format;
        QString error;
        auto picture = [&plan, &f](int n) {
            return plan.kind == StreamKind::Mosaic ? mosaicPattern(plan.cells, f.size, n, f.fps)
                                                   : testPattern(plan.host, f.size, n, f.fps);
        };
        const std::shared_ptr<const EncodedLoop> loop = encodeLoop(f, picture, &error);
        if (loop)
            error = QStringLiteral("%1 ms").arg(took.elapsed());
        QMetaObject::invokeMethod(this, [this, key = request.key, loop, error] { loopReady(key, loop, error); });
    });
}

void StreamSender::loopReady(const QString &key, const std::shared_ptr<const EncodedLoop> &loop, const QString &note)
{
    m_inFlight.clear();
    if (!loop) {
        emit journalEvent(QStringLiteral("media"), QStringLiteral("cannot encode %1: %2").arg(key, note));
    } else {
        emit journalEvent(QStringLiteral("media"), QStringLiteral("encoded %1: %2 bytes in %3").arg(key).arg(loop->bytes).arg(note));
        m_cache.insert(key, {loop, m_clock.elapsed()});
        m_cacheBytes += loop->bytes;
        for (Stream &s : m_streams) {
            if (loopKey(s.plan, s.wanted) == key)
                adopt(s, loop);
        }
        evict();
    }
    dispatch();
    schedule();
}

void StreamSender::adopt(Stream &s, const std::shared_ptr<const EncodedLoop> &loop)
{
    if (!s.loop) {
        s.loop = loop;
        s.index = 0; // a loop starts with a keyframe
    } else if (s.loop->format != loop->format) {
        s.next = loop;
    }
}

void StreamSender::evict()
{
    const qint64 limit = qint64(m_config.mediaCacheMB) * 1024 * 1024;
    while (m_cacheBytes > limit) {
        // The least recently wanted loop no stream holds.
        QString oldest;
        qint64 oldestMs = 0;
        for (auto it = m_cache.cbegin(); it != m_cache.cend(); ++it) {
            if (it->loop.use_count() == 1 && (oldest.isEmpty() || it->usedMs < oldestMs)) {
                oldest = it.key();
                oldestMs = it->usedMs;
            }
        }
        if (oldest.isEmpty())
            return; // every loop is playing; they go once their streams end
        m_cacheBytes -= m_cache.value(oldest).loop->bytes;
        m_cache.remove(oldest);
    }
}

void StreamSender::reseed(Stream &s)
{
    std::seed_seq seq{m_faults.seed, quint32(qHash(s.plan.url())), m_faults.generation};
    s.random.seed(seq);
}

void StreamSender::tick()
{
    const qint64 nowNs = m_clock.nsecsElapsed();
    const qint64 nowMs = nowNs / 1000000;
    for (auto it = m_streams.begin(); it != m_streams.end();) {
        Stream &s = *it;
        if (nowMs >= s.expiresMs) {
            emit journalEvent(s.peer, QStringLiteral("stream stop %1 frames %2").arg(s.plan.url()).arg(s.frames));
            it = m_streams.erase(it);
            continue;
        }
        const int floodRate = valueFor(m_faults.streamFlood, s.plan, 0);
        if (floodRate > 0 && !s.paused) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(s.plan.port);
            to.sin_addr.s_addr = htonl(s.plan.group.toIPv4Address());
            flood(s, nowNs, to);
        }
        if (s.dueNs <= nowNs) {
            if (s.loop && !s.paused)
                sendFrame(s);
            const int fps = s.loop ? s.loop->format.fps : s.wanted.fps;
            s.dueNs += 1000000000LL / fps;
            if (s.dueNs < nowNs - 1000000000LL / fps)
                s.dueNs = nowNs; // far behind (a busy machine): drop the backlog, not burst it
        }
        ++it;
    }
    sendLate(nowNs);
    evict(); // loops of ended streams may go now
    dispatch();
    schedule();
}

void StreamSender::sendLate(qint64 nowNs)
{
    while (!m_late.empty() && m_late.front().dueNs <= nowNs) {
        const Late &l = m_late.front();
        sendOne(l.fd, l.to, l.data);
        m_late.pop_front();
    }
}

void StreamSender::flood(Stream &s, qint64 nowNs, const sockaddr_in &to)
{
    if (s.floodNs == 0)
        s.floodNs = nowNs;
    const int rate = valueFor(m_faults.streamFlood, s.plan, 0);
    // What the rate owes since the last time, at most a tenth of a second's worth.
    const qint64 owed = qMin<qint64>((nowNs - s.floodNs) * rate / 1000000000LL, rate / 10 + 1);
    if (owed <= 0)
        return;
    s.floodNs = nowNs;
    const quint8 flags = previewFlags(s.loop ? s.loop->format.codec : s.wanted.codec);
    for (qint64 i = 0; i < owed; ++i) {
        QByteArray noise(int(100 + s.random() % 1300), '\0');
        for (char &c : noise)
            c = char(s.random() & 0xff);
        const QList<QByteArray> d = previewDatagrams(noise, quint8(s.random()), flags, noise.size());
        if (!d.isEmpty() && s.fd >= 0)
            sendOne(s.fd, to, d.first()); // one piece of a frame that never completes
    }
}

void StreamSender::keyframe(int host, const QString &peer)
{
    for (Stream &s : m_streams) {
        if (s.plan.host != host || !s.plan.isPreview() || !s.loop)
            continue;
        s.index = 0;
        s.next.reset(); // a pending switch happens at this keyframe instead
        emit journalEvent(peer, QStringLiteral("keyframe asked: %1 restarts at frame 0").arg(s.plan.url()));
    }
}

void StreamSender::schedule()
{
    if (m_streams.isEmpty()) {
        m_timer->stop();
        return;
    }
    qint64 nextNs = std::numeric_limits<qint64>::max();
    for (const Stream &s : qAsConst(m_streams))
        nextNs = qMin(nextNs, qMin(s.dueNs, s.expiresMs * 1000000));
    if (!m_late.empty())
        nextNs = qMin(nextNs, m_late.front().dueNs);
    if (!m_faults.streamFlood.isEmpty())
        nextNs = qMin(nextNs, m_clock.nsecsElapsed() + kFloodTickMs * 1000000LL);
    const qint64 waitNs = nextNs - m_clock.nsecsElapsed();
    m_timer->start(int(qMax<qint64>(0, (waitNs + 999999) / 1000000)));
}

void StreamSender::sendFrame(Stream &s)
{
    if (s.next && s.next->keyframes.value(s.index % s.next->frames.size())) {
        s.loop = std::move(s.next);
        s.next.reset();
        emit journalEvent(s.peer, QStringLiteral("stream switch %1 %2").arg(s.plan.url(), s.loop->format.text()));
    }
    s.index %= s.loop->frames.size();
    const QByteArray &frame = s.loop->frames.at(s.index);
    const quint8 flags = previewFlags(s.loop->format.codec);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(s.plan.port);
    to.sin_addr.s_addr = htonl(s.plan.group.toIPv4Address());
    auto journal = [&](int fragments) {
        if (m_journalFrames)
            emit journalEvent(s.peer, QStringLiteral("frame %1 seq %2 frame %3 sentUs %4 fragments %5")
                                   .arg(s.plan.url())
                                   .arg(s.sequence)
                                   .arg(s.index)
                                   .arg(wallMicros())
                                   .arg(fragments));
    };
    if (!s.plan.isPreview()) {
        const QList<QByteArray> datagrams = snapshotDatagrams(frame, m_config.streamPayload);
        sendDatagrams(s, datagrams, to);
        journal(datagrams.size());
    } else {
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        const bool hevc = s.loop->format.codec == Codec::H265;
        const int sets = s.loop->keyframes.value(s.index) && names(m_faults.splitParameterSets, s.plan)
                             ? parameterSetBytes(frame, hevc) : 0;
        if (sets > 0) // the parameter sets as a frame of their own, then the pictures
            sendDatagrams(s, previewDatagrams(frame.left(sets), s.sequence++, flags, m_config.streamPayload), to);
        const QList<QByteArray> datagrams = previewDatagrams(frame.mid(sets), s.sequence, flags, m_config.streamPayload);
        sendDatagrams(s, datagrams, to);
        journal(datagrams.size());
        if (m_faults.streamStrayFraction > 0 && unit(s.random) < m_faults.streamStrayFraction) {
            // Another sender, or a corrupt header: a sequence number far from the stream's.
            QByteArray junk(int(50 + s.random() % 400), '\0');
            for (char &c : junk)
                c = char(s.random() & 0xff);
            const QList<QByteArray> stray = previewDatagrams(junk, quint8(s.sequence + 40 + s.random() % 170), flags, junk.size());
            if (s.fd >= 0 && !stray.isEmpty())
                sendOne(s.fd, to, stray.first());
        }
        if (names(m_faults.hostileSps, s.plan) && s.frames % quint64(qMax(1, s.loop->format.fps)) == quint64(s.loop->format.fps / 2))
            sendDatagrams(s, previewDatagrams(hostileFrame(), ++s.sequence, flags, m_config.streamPayload), to);
    }
    ++s.frames;
    ++s.sequence;
    s.index = (s.index + 1) % s.loop->frames.size();
}

void StreamSender::sendDatagrams(Stream &s, const QList<QByteArray> &datagrams, const sockaddr_in &to)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const qint64 nowNs = m_clock.nsecsElapsed();
    auto send = [&](const QByteArray &d) {
        if (s.fd >= 0 && sendOne(s.fd, to, d))
            ++s.datagrams;
        else
            ++s.failed;
    };
    for (const QByteArray &d : datagrams) {
        if (m_faults.streamDropFraction > 0 && unit(s.random) < m_faults.streamDropFraction)
            continue;
        send(d);
        if (m_faults.streamDuplicateFraction > 0 && unit(s.random) < m_faults.streamDuplicateFraction)
            send(d);
        if (m_faults.streamLateDuplicateFraction > 0 && unit(s.random) < m_faults.streamLateDuplicateFraction
            && m_late.size() < kMaxLate && s.fd >= 0)
            m_late.push_back({nowNs + kLateNs, s.fd, to, d});
        if (m_faults.streamGarbage > 0 && unit(s.random) < m_faults.streamGarbage) {
            QByteArray junk(int(s.random() % 101), '\0');
            for (char &c : junk)
                c = char(s.random() & 0xff);
            send(junk);
        }
    }
    if (datagrams.isEmpty())
        ++s.failed; // larger than 255 of the largest datagrams: cannot be sent at all
}

int StreamSender::socketFor(const QHostAddress &from)
{
    const quint32 address = from.toIPv4Address();
    auto it = m_sockets.constFind(address);
    if (it != m_sockets.constEnd())
        return *it;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    const int no = 0, buffer = 4 * 1024 * 1024;
    in_addr interface{};
    interface.s_addr = htonl(address);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr *>(&local), sizeof local) != 0) {
        if (m_socketErrors++ == 0)
            emit journalEvent(QStringLiteral("media"), QStringLiteral("cannot send from %1: %2").arg(from.toString(), qt_error_string(errno)));
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    // The lab's own group sockets must not hear the streams; the streams leave by the
    // interface of the encoder's address.
    ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &no, sizeof no);
    ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof interface);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    m_sockets.insert(address, fd);
    return fd;
}

} // namespace lab
