#include "devices/devicecontrol.h"

#include <algorithm>

#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"

namespace kora::devices {

DeviceControl::DeviceControl(link::Sender &sender, const std::vector<SignalRecord> &signalList,
                             const ControlSettings &settings, Hosts hosts, QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_signals(signalList)
    , m_settings(settings)
    , m_hosts(std::move(hosts))
{
}

void DeviceControl::send(const link::Destinations &to, const QByteArray &data, const char *what, const QString &ip)
{
    if (to.isEmpty()) {
        KWARN(lcLink) << what << "for" << ip << "not sent: no address to send it to";
        return;
    }
    m_sender.sendTo(to, data);
}

void DeviceControl::kvmMouse(const QString &ip, int button, int x, int y)
{
    const Datagram d = devices::kvmMouse(m_signals, ip, button, x, y);
    KTRACE(lcLink) << "kvm mouse" << d.data.toHex() << x << y << ip;
    send(d.to, d.data, "kvm mouse", ip);
}

void DeviceControl::kvmKey(const QString &ip, int qtKey, int qtModifiers)
{
    const Datagram d = kvmKeyPress(m_signals, ip, qtKey, qtModifiers);
    KTRACE(lcLink) << "kvm key" << d.data.toHex() << ip;
    send(d.to, d.data, "kvm key", ip);
}

void DeviceControl::kvmKeyReleased(const QString &ip)
{
    const Datagram d = kvmKeyRelease(m_signals, ip);
    send(d.to, d.data, "kvm key release", ip);
}

void DeviceControl::cameraMove(const QString &cameraId, int direction)
{
    send(cameraDestination(m_settings.serverIp), devices::cameraMove(cameraId, direction), "camera move", cameraId);
}

void DeviceControl::cameraZoom(const QString &cameraId, int direction)
{
    send(cameraDestination(m_settings.serverIp), devices::cameraZoom(cameraId, direction), "camera zoom", cameraId);
}

void DeviceControl::cameraPreset(const QString &cameraId, const QString &name, int save)
{
    send(cameraDestination(m_settings.serverIp), devices::cameraPreset(cameraId, name, save), "camera preset", cameraId);
}

void DeviceControl::markStart(const QString &ip) { send(markDestination(ip), devices::markStart(), "marking", ip); }

void DeviceControl::markStroke(const QString &ip, int x, int y, int width, const QString &colour)
{
    send(markDestination(ip), devices::markStroke(x, y, width, colour), "marking", ip);
}

void DeviceControl::markTo(const QString &ip, int x, int y) { send(markDestination(ip), devices::markTo(x, y), "marking", ip); }

void DeviceControl::markFrame(const QString &ip, int x, int y, int w, int h)
{
    send(markDestination(ip), devices::markFrame(x, y, w, h), "marking", ip);
}

void DeviceControl::markClear(const QString &ip) { send(markDestination(ip), devices::markClear(), "marking", ip); }
void DeviceControl::markEnd(const QString &ip) { send(markDestination(ip), devices::markEnd(), "marking", ip); }

void DeviceControl::crop(const QString &ip, int x, int y, int w, int h)
{
    KTRACE(lcLink) << "crop" << ip << x << y << w << h;
    send(link::nodeControl(ip), cropCommand(x, y, w, h), "crop", ip);
}

void DeviceControl::snapshotSize(const QString &ip, int type)
{
    send(link::nodeControl(ip), snapCommand(type, m_settings.minSnap, m_settings.maxSnap), "snapshot size", ip);
}

void DeviceControl::queryConfig(const QString &ip) { send(link::nodeControl(ip), configQuery(), "configuration query", ip); }

void DeviceControl::requestHostTree(const QString &vencIp)
{
    // An encoder that no KVM host announced has no tree to ask for.
    const Datagram d = hostTreeQuery(m_hosts(), vencIp);
    if (!d.to.isEmpty())
        m_sender.sendVia(link::Socket::Host, d.to, d.data);
}

QJsonArray DeviceControl::hostFiles(const QString &vencIp, const QString &pid) const
{
    return hostFileEntries(m_hosts(), vencIp, pid);
}

QString DeviceControl::hostAddress(const QString &vencIp) const { return hostAddressOfEncoder(m_hosts(), vencIp); }

void DeviceControl::controlHostFile(int type, const QString &id, const QString &act, const QString &hostIp)
{
    KTRACE(lcLink) << "host file" << hostIp << type << id << act;
    const link::Destinations to = hostDestination(hostIp);
    if (to.isEmpty()) {
        KWARN(lcLink) << "host file control for" << hostIp << "not sent: not a host address";
        return;
    }
    m_sender.sendVia(link::Socket::Host, to, hostControlRequest(type, id, act));
}

void DeviceControl::handleEvent(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort)
{
    const EventMessage m = parseEvent(datagram);
    switch (m.kind) {
    case EventMessage::Kind::AudioRequest:
        // The answer goes to whoever raised this alarm, not to the last datagram's sender:
        // other clients' answers arrive on the same group.
        // The same alarm raised again is answered to where it came from last.
        m_audioRequesters.erase(std::remove_if(m_audioRequesters.begin(), m_audioRequesters.end(),
                                               [&m](const Requester &r) { return r.eventId == m.eventId; }),
                                m_audioRequesters.end());
        if (m_audioRequesters.size() == kMaxOpenAlarms)
            m_audioRequesters.removeFirst();
        m_audioRequesters.append({m.eventId, sender, senderPort});
        emit audioEvent(m.name, m.eventId, m.nextTime);
        return;
    case EventMessage::Kind::InputRequest: {
        const int index = inputSignalIndex(m_signals, m.srcIp);
        if (index < 0) {
            KTRACE(lcLink) << "input alarm for" << m.srcIp << "which is no signal of the project";
            return;
        }
        emit videoEvent(m_signals[size_t(index)].name, m.nextTime, sender.toString(), senderPort, m.srcIp);
        return;
    }
    case EventMessage::Kind::Response:
        emit eventOver(m.response);
        return;
    case EventMessage::Kind::Ignored:
        KTRACE(lcLink) << "event datagram of" << datagram.size() << "bytes from" << sender.toString() << "ignored";
        return;
    }
}

void DeviceControl::answerAudioEvent(const QString &eventId, bool activate, int nextTime)
{
    const auto it = std::find_if(m_audioRequesters.begin(), m_audioRequesters.end(),
                                 [&eventId](const Requester &r) { return r.eventId == eventId; });
    if (it == m_audioRequesters.end()) {
        KWARN(lcLink) << "audio alarm" << eventId << "answered, but no such audio alarm is open";
        return;
    }
    const Requester to = *it;
    m_audioRequesters.erase(it);
    m_sender.sendVia(link::Socket::Events, {{to.address, to.port}}, audioEventResponse(eventId, activate, nextTime));
}

void DeviceControl::answerInputEvent(const QString &srcIp, int nextTime, const QString &address, int port)
{
    KTRACE(lcLink) << "input alarm answered" << srcIp << nextTime << address << port;
    m_sender.sendVia(link::Socket::Events, inputResponseDestinations(address, port), inputEventResponse(srcIp, nextTime));
}

} // namespace kora::devices
