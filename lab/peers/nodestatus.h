#pragma once
// The health report decoders and encoders give when a client asks for it with
// {"Function":"getLog","Type":"System","Value":{"get_sys_msg":"echo"}}: a "[sys_msg]" text
// whose values move from answer to answer, as a busy node's do.
#include "peer.h"

#include <QByteArray>

namespace lab {

bool isStatusRequest(const QByteArray &datagram);

// The report of node `seed` for its `answer`-th answer, `uptimeMs` after the lab started.
QByteArray statusReport(int seed, quint32 answer, qint64 uptimeMs);

// A node's side of it: answers status requests sent to the node's own address.
class NodeStatus
{
public:
    explicit NodeStatus(const QHostAddress &self);
    // The answer to `in`, or nothing when it is not a status request for this node.
    QList<Outgoing> answer(const Datagram &in);

private:
    QHostAddress m_self;
    int m_seed;
    quint32 m_answers = 0;
};

} // namespace lab
