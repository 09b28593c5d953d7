// Designed buttons, sliders and crosspoint matrices, and the control states every client
// shares through the controller. The packets are composed in controls/controlcommands.h;
// here they are logged and sent, each after its designed delay, by single-shot timers: the
// window keeps painting while a command sequence waits.
#include "controller/imserverapi.h"

#include "link/messages.h"
#include "link/routes.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QTimer>

using namespace kora;

namespace {
// After a preset is stored, the controller needs a moment before it is asked for it again.
constexpr int kAfterPresetMs = 15;

QString wallGroup() { return QString::fromLatin1(link::kWallGroup); }
} // namespace

void ImServerApi::sendPacket(const controls::Packet &p)
{
    switch (p.transport) {
    case controls::Transport::Internal:
        analyzCustomProtocol(p.data);
        break;
    case controls::Transport::Udp:
        KTRACE(lcLink) << "designed command udp" << p.ip << p.port << p.data.toHex(' ');
        sendUdpData(p.data, p.ip, p.port);
        break;
    case controls::Transport::Tcp:
        KTRACE(lcLink) << "designed command tcp" << p.ip << p.port << p.data.toHex(' ');
        sendTcpData(p.data, p.ip, p.port);
        break;
    }
}

void ImServerApi::sendPackets(const QList<controls::Packet> &packets, std::function<void()> then)
{
    // Delays add up along the list; a packet without delay goes at once, in order.
    int at = 0;
    for (const controls::Packet &p : packets) {
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

void ImServerApi::ServerButtonCmd(const QStringList &Cmd)
{
    KTRACE(lcApi) << Cmd;
    sendPackets(controls::buttonPackets(Cmd));
}

void ImServerApi::ServerVX2ButtonCmd(const QVariantMap &cmdMap)
{
    KTRACE(lcApi) << cmdMap;
    const controls::Event event = controls::buttonEvent(cmdMap, m_values);
    auto perform = [this, event] {
        switch (event.kind) {
        case controls::Event::Kind::SwitchPage:
            emit callCustomProtocol(QStringLiteral("InlineSwitchPage"), event.pages);
            break;
        case controls::Event::Kind::ShowWidget:
        case controls::Event::Kind::HideWidget:
            emit callSetWidgetVisible(event.widgets, event.kind == controls::Event::Kind::ShowWidget);
            break;
        case controls::Event::Kind::Send:
            sendPackets(event.packets);
            break;
        case controls::Event::Kind::None:
            break;
        }
    };
    if (event.delayMs > 0)
        QTimer::singleShot(event.delayMs, this, perform);
    else
        perform();
}

void ImServerApi::sendSliderState(const QString &uuid, float value)
{
    const QString state = controls::sliderState(uuid, value);
    sendUdpData(QStringLiteral("{SetStatus;%1}").arg(state).toUtf8(), wallGroup(), link::kCommandPort);
    sendUdpData(QStringLiteral("{SaveClientInfo;%1,%2}").arg(uuid, state).toUtf8(), wallGroup(), link::kCommandPort);
}

void ImServerApi::ServerSliderCmd(const QString &uuid, const QString &Cmd, float value, int type)
{
    KTRACE(lcApi) << uuid << Cmd << value << type;
    std::function<void()> then;
    if (type == 1)
        then = [this, uuid, value] { sendSliderState(uuid, value); };
    sendPackets(controls::sliderPackets(Cmd, value), then);
}

void ImServerApi::ServerVX2SliderCmd(const QString &uuid, const QJsonObject &cmdJosn, float value, int type)
{
    KTRACE(lcApi) << uuid << cmdJosn << value << type;
    bool storesState = true;
    const QList<controls::Packet> packets = controls::sliderEventPackets(cmdJosn, value, &storesState);
    std::function<void()> then;
    if (type == 1 && storesState)
        then = [this, uuid, value] { sendSliderState(uuid, value); };
    sendPackets(packets, then);
}

void ImServerApi::ServerMatrixCmd(const QString &Cmd, const QString &xValue, const QString &yValue)
{
    KTRACE(lcApi) << Cmd << xValue << yValue;
    sendPackets(controls::matrixPackets(Cmd, xValue, yValue));
}

void ImServerApi::ServerSetStatus(const QString &uuid, const QString &data)
{
    sendUdpData("{SetStatus;" + data.toUtf8() + '}', wallGroup(), link::kCommandPort);
    QString stored = data;
    if (data.section(QLatin1Char('_'), 0, 0) == QLatin1String("M")) {
        for (const QString &preset : m_dispatchState.matrixPresets.value(uuid))
            stored += QStringLiteral("&*") + preset;
    }
    sendUdpData("{SaveClientInfo;" + uuid.toUtf8() + ',' + stored.toUtf8() + '}', wallGroup(), link::kCommandPort);
}

void ImServerApi::ServerGetStatus(const QString &uuid)
{
    const QByteArray command = QStringLiteral("{GetClientInfo;%1}").arg(uuid).toLatin1();
    // The host the node scan chose keeps the installation's control states.
    QStringList hosts;
    for (const NodeEntry &node : m_nodes)
        hosts.append(node.address);
    KTRACE(lcApi) << command << hosts.size();
    sendTo(link::selectedHost(hosts, m_hostIndex), command);
}

void ImServerApi::ServerSaveMatrixPreset(const QString &uuid, const QString &name, const QString &data)
{
    auto presets = m_dispatchState.matrixPresets.find(uuid);
    const QString entry = controls::presetEntry(name, data); // empty: a name that would break the store
    if (presets != m_dispatchState.matrixPresets.end() && !entry.isEmpty())
        presets->append(entry);
    ServerSetStatus(uuid, data);
    QTimer::singleShot(kAfterPresetMs, this, [this, uuid] { ServerGetStatus(uuid); });
}

void ImServerApi::ServerDelMatrixPreset(const QString &uuid, int index, const QString &data)
{
    auto presets = m_dispatchState.matrixPresets.find(uuid);
    if (presets != m_dispatchState.matrixPresets.end() && index >= 0 && index < presets->size())
        presets->removeAt(index);
    ServerSetStatus(uuid, data);
    QTimer::singleShot(kAfterPresetMs, this, [this, uuid] { ServerGetStatus(uuid); });
}

QStringList ImServerApi::ServerCallMatrixPreset(const QString &uuid, int index)
{
    QString state = QStringLiteral("M_") + uuid;
    QStringList rows;
    const auto presets = m_dispatchState.matrixPresets.constFind(uuid);
    if (presets != m_dispatchState.matrixPresets.cend()) {
        KTRACE(lcApi) << *presets;
        if (index >= 0 && index < presets->size()) {
            const QString &entry = presets->at(index);
            state += entry.mid(entry.indexOf(QLatin1String("*&")) + 2);
            rows = controls::presetRows(entry);
        } else {
            KWARN(lcApi) << "matrix" << uuid << "has no preset" << index;
        }
    }
    KTRACE(lcApi) << rows;
    ServerSetStatus(uuid, state);
    return rows;
}
