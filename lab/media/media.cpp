#include "media/media.h"

#include "media/rtspcamera.h"
#include "media/sender.h"
#include "media/streams.h"
#include "media/wire.h"

namespace lab {

Media::Media(const LabConfig &config, Journal &journal, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_journal(journal)
{
    m_clock.start();
    m_sendThread.setObjectName(QStringLiteral("lab-media-send"));
    m_encodeThread.setObjectName(QStringLiteral("lab-media-encode"));
    m_encodeContext = new QObject;
    m_encodeContext->moveToThread(&m_encodeThread);
    connect(&m_encodeThread, &QThread::finished, m_encodeContext, &QObject::deleteLater);
    m_sender = new StreamSender(m_config, m_encodeContext);
    m_sender->moveToThread(&m_sendThread);
    connect(&m_sendThread, &QThread::finished, m_sender, &QObject::deleteLater);
    connect(m_sender, &StreamSender::journalEvent, this, [this](const QString &peer, const QString &note) { m_journal.event(peer, note); });
    if (m_config.camera > 0) {
        m_camera = std::make_unique<RtspCamera>(m_config);
        connect(m_camera.get(), &RtspCamera::journalEvent, this, [this](const QString &note) { m_journal.event(QStringLiteral("camera"), note); });
    }
}

Media::~Media()
{
    if (!m_started) {
        delete m_sender;
        delete m_encodeContext;
        return;
    }
    // The encoder first: its last loop is handed to the sender, which must still be there.
    m_encodeThread.quit();
    m_encodeThread.wait();
    m_sendThread.quit();
    m_sendThread.wait();
}

void Media::start(const FaultPlan &faults)
{
    if (m_started)
        return;
    m_started = true;
    m_encodeThread.start(QThread::LowPriority);
    m_sendThread.start(QThread::HighPriority);
    setFaults(faults);
    if (m_camera)
        m_camera->start();
}

void Media::request(int host, const QString &peer, const Datagram &in)
{
    if (in.destinationPort != kRegistrationPort) {
        if (m_faults.ignoreKeyframeRequests.contains(host))
            return;
        QMetaObject::invokeMethod(m_sender, [sender = m_sender, host, peer] { sender->keyframe(host, peer); });
        return;
    }
    registration(host, peer, in);
}

void Media::push(int host, const QHostAddress &to, quint16 port)
{
    QList<StreamPlan> own = encoderStreams(m_config, host);
    if (own.size() < 3)
        return;
    StreamPlan plan = own.at(2); // the snapshots, to the client's own address
    plan.group = to;
    plan.port = port;
    plan.holdMs = kPushHoldMs;
    const QHostAddress from = m_config.address(host);
    const QString peer = QStringLiteral("encoder-%1").arg(host - m_config.firstEncoder + 1);
    QMetaObject::invokeMethod(m_sender, [sender = m_sender, plan, from, peer] { sender->registration(plan, from, peer); });
}

void Media::registration(int host, const QString &peer, const Datagram &in)
{
    Registration r;
    if (!parseRegistration(in.data, &r)) {
        refuse(peer, QStringLiteral("not a stream registration (%1 bytes)").arg(in.data.size()));
        return;
    }
    StreamPlan plan;
    QString why;
    if (!streamFor(m_config, host, r, &plan, &why)) {
        refuse(peer, why);
        return;
    }
    if (m_queued->load() >= 256) {
        refuse(peer, QStringLiteral("registrations arrive faster than the streams take them"));
        return;
    }
    ++*m_queued;
    const QHostAddress from = m_config.address(host);
    QMetaObject::invokeMethod(m_sender, [sender = m_sender, queued = m_queued, plan, from, peer] {
        --*queued;
        sender->registration(plan, from, peer);
    });
}

void Media::setFaults(const FaultPlan &faults)
{
    m_faults = faults;
    QMetaObject::invokeMethod(m_sender, [sender = m_sender, faults] { sender->setFaults(faults); });
    if (faults.rtspDrop && m_camera)
        m_camera->dropClients();
}

void Media::setJournalFrames(bool on)
{
    QMetaObject::invokeMethod(m_sender, [sender = m_sender, on] { sender->setJournalFrames(on); });
}

QJsonArray Media::streams()
{
    if (!m_sendThread.isRunning())
        return {};
    QJsonArray out;
    QMetaObject::invokeMethod(m_sender, [&out, sender = m_sender] { out = sender->streams(); }, Qt::BlockingQueuedConnection);
    return out;
}

void Media::refuse(const QString &peer, const QString &why)
{
    // Whatever a client sends is journaled as it arrives; the reason it was refused is
    // worth one line a second per encoder.
    const qint64 now = m_clock.elapsed();
    auto last = m_lastRefusal.find(peer);
    if (last != m_lastRefusal.end() && now - *last < 1000) {
        ++m_quietRefusals;
        return;
    }
    m_lastRefusal.insert(peer, now);
    QString note = QStringLiteral("registration refused: ") + why;
    if (m_quietRefusals > 0)
        note += QStringLiteral(" (%1 more refused quietly)").arg(m_quietRefusals);
    m_quietRefusals = 0;
    m_journal.event(peer, note);
}

} // namespace lab
