// Event datagrams come from any system: parsing stays in bounds and accepts only what fits its kind.
#include "devices/devicecommands.h"
#include "quietlogs.h"

#include <cstdlib>

using kora::devices::EventMessage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const EventMessage m = kora::devices::parseEvent(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    switch (m.kind) {
    case EventMessage::Kind::Ignored:
        if (!m.response.isEmpty())
            std::abort();
        break;
    case EventMessage::Kind::AudioRequest:
        if (!m.srcIp.isEmpty() || !m.response.isEmpty())
            std::abort();
        break;
    case EventMessage::Kind::InputRequest:
        if (m.srcIp.isEmpty() || !m.name.isEmpty() || !m.eventId.isEmpty() || !m.response.isEmpty())
            std::abort();
        break;
    case EventMessage::Kind::Response:
        if (m.response != QLatin1String("ActiveAudio") && m.response != QLatin1String("ActiveInput"))
            std::abort();
        if (m.nextTime != 0 || !m.name.isEmpty() || !m.srcIp.isEmpty())
            std::abort();
        break;
    }
    // Whatever was read goes back out in a response; composing it must hold too.
    if (m.kind == EventMessage::Kind::AudioRequest
        && kora::devices::audioEventResponse(m.eventId, true, m.nextTime).isEmpty())
        std::abort();
    if (m.kind == EventMessage::Kind::InputRequest && kora::devices::inputEventResponse(m.srcIp, m.nextTime).isEmpty())
        std::abort();
    return 0;
}
