#include "walls/wallcontrol.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QRectF>
#include <QTimer>

namespace kora::walls {

WallControl::WallControl(link::Sender &sender, InstallationView installation, const WallTimings &timings,
                         QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_installation(std::move(installation))
    , m_timings(timings)
{
}

bool WallControl::sendCommands(const Commands &commands)
{
    if (commands.refused()) {
        KWARN(lcApi) << commands.refusal;
        return false;
    }
    for (const Outgoing &o : commands.items) {
        KTRACE(lcApi) << o.data;
        m_sender.sendTo(o.to, o.data);
    }
    return true;
}

void WallControl::setWindows(const QString &wallId, const QString &cmd)
{
    sendCommands(walls::setWindows(installation(), wallId, cmd));
}

void WallControl::getWindows(const QString &wallId)
{
    sendCommands(walls::getWindows(installation(), wallId));
}

bool WallControl::clearWall(const QString &wallId)
{
    if (!sendCommands(walls::clearWall(installation(), wallId)))
        return false;
    // A timer, not a wait: the window stays responsive while the wall applies the empty list.
    QTimer::singleShot(m_timings.wallSettleMs, Qt::PreciseTimer, this, [this, wallId] { getWindows(wallId); });
    return true;
}

void WallControl::setAudios(const QString &decoder, const QString &cmd)
{
    sendCommands(walls::setAudios(installation(), decoder, cmd));
}

void WallControl::getWindowsLater(const QString &wallId)
{
    QTimer::singleShot(m_timings.afterAckMs, this, [this, wallId] { getWindows(wallId); });
}

QList<int> WallControl::hiddenWindows(const QVariantList &pageRects)
{
    QList<QRectF> rects;
    for (const QVariant &v : pageRects) {
        if (v.userType() == QMetaType::QRectF || v.userType() == QMetaType::QRect) {
            rects.append(v.toRectF());
            continue;
        }
        const QVariantMap m = v.toMap();
        const QStringList keys{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"), QStringLiteral("height")};
        bool complete = !m.isEmpty();
        for (const QString &key : keys)
            complete = complete && m.contains(key);
        if (!complete) {
            KWARN(lcApi) << "not a rectangle:" << v;
            return {};
        }
        rects.append(QRectF(m.value(keys[0]).toReal(), m.value(keys[1]).toReal(), m.value(keys[2]).toReal(),
                            m.value(keys[3]).toReal()));
    }
    return walls::hiddenWindows(rects);
}

} // namespace kora::walls
