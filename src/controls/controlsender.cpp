#include "controls/controlsender.h"

#include "link/routes.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QTimer>

namespace kora::controls {

namespace {
// After a preset is stored, the host needs a moment before it is asked for it again.
constexpr int kAfterPresetMs = 15;
} // namespace

ControlSender::ControlSender(link::Sender &sender, const Values &values, MatrixPresets &presets, StateHost stateHost,
                             QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_values(values)
    , m_presets(presets)
    , m_stateHost(std::move(stateHost))
{
}

void ControlSender::sendPacket(const Packet &p)
{
    switch (p.transport) {
    case Transport::Internal:
        emit internalCommand(p.data);
        break;
    case Transport::Udp:
        KTRACE(lcLink) << "designed command udp" << p.ip << p.port << p.data.toHex(' ');
        m_sender.sendUdp(p.data, p.ip, p.port);
        break;
    case Transport::Tcp:
        KTRACE(lcLink) << "designed command tcp" << p.ip << p.port << p.data.toHex(' ');
        m_sender.sendTcp(p.data, p.ip, p.port);
        break;
    }
}

void ControlSender::sendPackets(const QList<Packet> &packets, std::function<void()> then)
{
    // A packet without delay goes at once, in order.
    int at = 0;
    for (const Packet &p : packets) {
        at += qMax(0, p.delayMs);
        if (at == 0)
            sendPacket(p);
        else
            QTimer::singleShot(at, this, [this, p] { sendPacket(p); });
    }
    if (!then)
        return;
    if (at == 0)
        then();
    else
        QTimer::singleShot(at, this, std::move(then));
}

void ControlSender::button(const QStringList &blocks)
{
    KTRACE(lcApi) << blocks;
    sendPackets(buttonPackets(blocks));
}

void ControlSender::vx2Button(const QVariantMap &map)
{
    KTRACE(lcApi) << map;
    const Event event = buttonEvent(map, m_values);
    auto perform = [this, event] {
        switch (event.kind) {
        case Event::Kind::SwitchPage: emit switchPage(event.pages); break;
        case Event::Kind::ShowWidget:
        case Event::Kind::HideWidget: emit widgetsVisible(event.widgets, event.kind == Event::Kind::ShowWidget); break;
        case Event::Kind::Send: sendPackets(event.packets); break;
        case Event::Kind::None: break;
        }
    };
    if (event.delayMs > 0)
        QTimer::singleShot(event.delayMs, this, perform);
    else
        perform();
}

void ControlSender::sendSliderState(const QString &uuid, float value)
{
    const QString state = sliderState(uuid, value);
    m_sender.sendTo(link::wallMulticast(), QStringLiteral("{SetStatus;%1}").arg(state).toUtf8());
    m_sender.sendTo(link::wallMulticast(), QStringLiteral("{SaveClientInfo;%1,%2}").arg(uuid, state).toUtf8());
}

void ControlSender::slider(const QString &uuid, const QString &blocks, float value, int type)
{
    KTRACE(lcApi) << uuid << blocks << value << type;
    std::function<void()> then;
    if (type == 1)
        then = [this, uuid, value] { sendSliderState(uuid, value); };
    sendPackets(sliderPackets(blocks, value), then);
}

void ControlSender::vx2Slider(const QString &uuid, const QJsonObject &event, float value, int type)
{
    KTRACE(lcApi) << uuid << event << value << type;
    bool storesState = true;
    const QList<Packet> packets = sliderEventPackets(event, value, &storesState);
    std::function<void()> then;
    if (type == 1 && storesState)
        then = [this, uuid, value] { sendSliderState(uuid, value); };
    sendPackets(packets, then);
}

void ControlSender::matrix(const QString &blocks, const QString &x, const QString &y)
{
    KTRACE(lcApi) << blocks << x << y;
    sendPackets(matrixPackets(blocks, x, y));
}

void ControlSender::setStatus(const QString &uuid, const QString &data)
{
    m_sender.sendTo(link::wallMulticast(), "{SetStatus;" + data.toUtf8() + '}');
    QString stored = data;
    if (data.section(QLatin1Char('_'), 0, 0) == QLatin1String("M")) {
        for (const QString &preset : m_presets.value(uuid))
            stored += QStringLiteral("&*") + preset;
    }
    m_sender.sendTo(link::wallMulticast(), "{SaveClientInfo;" + uuid.toUtf8() + ',' + stored.toUtf8() + '}');
}

void ControlSender::getStatus(const QString &uuid)
{
    const QByteArray command = QStringLiteral("{GetClientInfo;%1}").arg(uuid).toLatin1();
    const link::Destinations host = m_stateHost();
    KTRACE(lcApi) << command << host.size();
    m_sender.sendTo(host, command);
}

void ControlSender::getStatusLater(const QString &uuid)
{
    QTimer::singleShot(kAfterPresetMs, this, [this, uuid] { getStatus(uuid); });
}

void ControlSender::saveMatrixPreset(const QString &uuid, const QString &name, const QString &data)
{
    auto presets = m_presets.find(uuid);
    const QString entry = presetEntry(name, data); // empty: a name that would break the store
    if (presets != m_presets.end() && !entry.isEmpty())
        presets->append(entry);
    setStatus(uuid, data);
    getStatusLater(uuid);
}

void ControlSender::deleteMatrixPreset(const QString &uuid, int index, const QString &data)
{
    auto presets = m_presets.find(uuid);
    if (presets != m_presets.end() && index >= 0 && index < presets->size())
        presets->removeAt(index);
    setStatus(uuid, data);
    getStatusLater(uuid);
}

QStringList ControlSender::callMatrixPreset(const QString &uuid, int index)
{
    QString state = QStringLiteral("M_") + uuid;
    QStringList rows;
    const auto presets = m_presets.constFind(uuid);
    if (presets != m_presets.cend()) {
        KTRACE(lcApi) << *presets;
        if (index >= 0 && index < presets->size()) {
            const QString &entry = presets->at(index);
            state += entry.mid(entry.indexOf(QLatin1String("*&")) + 2);
            rows = presetRows(entry);
        } else {
            KWARN(lcApi) << "matrix" << uuid << "has no preset" << index;
        }
    }
    KTRACE(lcApi) << rows;
    setStatus(uuid, state);
    return rows;
}

} // namespace kora::controls
