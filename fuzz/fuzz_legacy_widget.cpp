// Older pages come from the network: walls within their cell limit, one to three items per widget, listeners sound.
#include "package/legacyconfig.h"
#include "package/legacyitems.h"
#include "package/legacywidgets.h"
#include "quietlogs.h"

#include <QTextCodec>
#include <cstdlib>

using namespace kora::package;

namespace {
void checkPage(const QString &text)
{
    const LegacyPageWidgets page = readLegacyWidgets(text);
    int panels = 0;
    for (const LegacyWidget &w : page.widgets) {
        panels += w.kind == LegacyKind::Panel;
        const int items = design2Items(w).size();
        if (items < 1 || items > (w.kind == LegacyKind::Panel ? 3 : 1))
            std::abort();
        if (w.kind == LegacyKind::Listen) {
            const ListenerMaps listener = listenerMaps(w.map);
            const auto inRange = [](const QVariant &port) { return port.toInt() > 0 && port.toInt() <= 65535; };
            if (!listener.send.isEmpty()
                && (listener.send.value(QStringLiteral("ip")).toString().isEmpty()
                    || listener.send.value(QStringLiteral("data")).toString().isEmpty()
                    || !inRange(listener.send.value(QStringLiteral("port"))) || !inRange(listener.recv.value(QStringLiteral("port")))))
                std::abort();
        }
    }
    if (panels != page.walls.size())
        std::abort();
    for (const kora::design::WallRecord &wall : page.walls) {
        if (wall.decoderAddresses.size() > 1024 || wall.cellRects.size() != wall.decoderAddresses.size())
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTextCodec *gbk = QTextCodec::codecForName("GBK");
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString text = gbk ? gbk->toUnicode(bytes) : QString::fromLatin1(bytes);
    // As the controller reads it: the whole configuration's pages, and the text as one page.
    const LegacyConfig config = parseLegacyConfig(text);
    checkPage(config.uiText);
    for (const LegacyPage &page : config.pages)
        checkPage(page.text);
    checkPage(text);
    return 0;
}
