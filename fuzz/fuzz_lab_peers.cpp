// A client under test may send anything: no datagram crashes a simulated device or makes it answer without bound.
#include "faults.h"
#include "peers/scannode.h"
#include "peers/services.h"
#include "peers/walls.h"

#include <cstdlib>

namespace {
QHostAddress at(int host) { return QHostAddress(QStringLiteral("10.77.1.%1").arg(host)); }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static lab::FaultPlan faults;
    static lab::WallSystem walls({{QStringLiteral("1"), {at(20), at(21)}, 1, 2, 1920, 1080},
                                  {QStringLiteral("2"), {at(24)}, 1, 1, 1920, 1080}});
    static auto decoders = lab::makeDecoderPeers(walls);
    static lab::ControllerPeer controller(walls, at(5), {{"1", "Input 1", "udp://239.10.1.1:5000", "udp://239.10.2.1:5000", "10.77.1.30:19997", "Inputs"}});
    static lab::ScanNodePeer host(QStringLiteral("host-node"), at(10), QStringLiteral("1"), QStringLiteral("p"),
                                  {{QStringLiteral("a.ds"), QStringLiteral("99914b932bd37a50b983c5e7c90ae93b"), QByteArray(20000, 'x')}},
                                  7000, faults);
    static lab::HostServicePeer service(at(6), QStringLiteral("kvm-1"));
    static lab::DiscoveryPeer discovery(at(7));
    static lab::EncoderPeer encoder(1, at(30));
    static lab::EventSourcePeer events(at(9));
    static qint64 now = 0; // the peers keep their state from input to input, uploads too

    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QHostAddress group(QStringLiteral("224.168.1.1"));
    QList<lab::Peer *> peers{&controller, &host, &service, &discovery, &encoder, &events};
    for (auto &d : decoders)
        peers.append(d.get());
    now += 100;
    for (lab::Peer *peer : peers) {
        for (const QHostAddress &to : {peer->address(), group}) {
            for (quint16 port : peer->udpPorts()) {
                const lab::Datagram in{bytes, at(1), 41234, to, port, now};
                const QList<lab::Outgoing> out = peer->handle(in);
                // A 20000-byte file is 3 fragments; nothing else answers with more than a page.
                if (out.size() > 64)
                    std::abort();
                for (const lab::Outgoing &o : out) {
                    if (o.data.size() > 65507)
                        std::abort();
                }
                // A datagram ends two uploads at most: the one before and the one under way,
                // each journalled with its picture's note when it is a .yuv.
                if (peer->takeEvents(now).size() > 4)
                    std::abort();
            }
        }
    }
    return 0;
}
