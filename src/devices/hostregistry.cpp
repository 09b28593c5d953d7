#include "devices/hostregistry.h"

#include "commands/hostmessages.h"
#include "log/categories.h"
#include "log/trace.h"

namespace kora::devices {

void HostRegistry::add(const QString &ip, const QByteArray &message)
{
    const commands::HostMessage m = commands::parseHostMessage(message);
    using Kind = commands::HostMessage::Kind;
    switch (m.kind) {
    case Kind::Invalid:
        KWARN(lcLink) << "host message from" << ip << "is no JSON object:" << message.left(200);
        return;
    case Kind::Failed:
        KWARN(lcLink) << "host" << ip << "reports code" << m.code << m.message;
        return;
    case Kind::Device:
        KTRACE(lcLink) << "host" << ip << m.devId << m.devName << m.devVenc;
        // A host answers every GetDev: its record moves to the latest address, its tree kept.
        for (HostTree &host : m_hosts) {
            if (host.id == m.devId) {
                host.name = m.devName;
                host.venc = m.devVenc;
                if (host.address != ip)
                    host.tree.clear(); // the tree came from the old address
                host.address = ip;
                return;
            }
        }
        if (m_hosts.size() >= kMaxHosts) {
            const QString kind = QStringLiteral("hosts over the cap");
            if (m_refusals.allow(kind))
                KWARN(lcLink) << "host" << m.devId << "at" << ip << "not recorded: already" << kMaxHosts << "hosts;"
                              << m_refusals.count(kind) << "refused so far";
            return;
        }
        m_hosts.append({ip, m.devVenc, {}, m.devName, m.devId});
        return;
    case Kind::Tree:
        // One copy: the first record at that address.
        for (HostTree &host : m_hosts) {
            if (host.address == ip) {
                host.tree = m.tree;
                break;
            }
        }
        KTRACE(lcLink) << "host" << ip << "file tree with" << m.tree.size() << "roots";
        return;
    case Kind::Unknown:
        KTRACE(lcLink) << "host message" << m.response << "cannot be identified";
        return;
    }
}

} // namespace kora::devices
