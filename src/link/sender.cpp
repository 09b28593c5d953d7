#include "link/sender.h"

#include "log/categories.h"
#include "log/trace.h"

namespace kora::link {

void Sender::sendTo(const Destinations &destinations, const QByteArray &data)
{
    if (destinations.isEmpty())
        KTRACE(lcLink) << "no destination for" << data;
    for (const Destination &d : destinations)
        sendUdp(data, d.address.toString(), d.port);
}

} // namespace kora::link
