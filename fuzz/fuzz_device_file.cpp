// "device.json" arrives with the project package from the network.
#include "model/devicefile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kora::DeviceModel model;
    if (!kora::parseDeviceFile(QByteArray(reinterpret_cast<const char *>(data), int(size)), model, nullptr))
        return 0;
    for (const kora::SignalGroupRecord &g : model.groups) {
        for (int i : g.signalIndexes) {
            if (i < 0 || size_t(i) >= model.signalList.size())
                std::abort();
        }
        for (int i : g.multiSignalIndexes) {
            if (i < 0 || size_t(i) >= model.multiSignals.size())
                std::abort();
        }
    }
    for (const kora::MultiSignalRecord &m : model.multiSignals) {
        if (m.ids.size() != m.mainUrls.size() || m.ids.size() != m.subUrls.size())
            std::abort();
    }
    return 0;
}
