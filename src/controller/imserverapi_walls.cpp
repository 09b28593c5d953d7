// Wall windows, layers and docks: the senders call the composers of walls/wallcommands.h.
#include "controller/imserverapi.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QRectF>
#include <QTimer>

using namespace kora;

namespace {
// A wall needs this long to apply a new window list before it answers with it.
constexpr int kWallSettleMs = 30;
} // namespace

walls::Installation ImServerApi::installation() const
{
    walls::Installation in;
    in.serverIp = m_settings.serverIp;
    in.multicast = m_settings.multicast;
    in.walls = m_walls;
    in.outputs = m_outputs;
    return in;
}

bool ImServerApi::sendCommands(const walls::Commands &commands)
{
    if (commands.refused()) {
        KWARN(lcApi) << commands.refusal;
        return false;
    }
    for (const walls::Outgoing &o : commands.items) {
        KTRACE(lcApi) << o.data;
        sendTo(o.to, o.data);
    }
    return true;
}

void ImServerApi::ServerSetWindows(const QString &panel_id, const QString &cmd)
{
    sendCommands(walls::setWindows(installation(), panel_id, cmd));
}

void ImServerApi::ServerGetWindows(const QString &panelId)
{
    sendCommands(walls::getWindows(installation(), panelId));
}

bool ImServerApi::ServerRefresh()
{
    ServerGetWindows(m_selPanel);
    return true;
}

bool ImServerApi::ServerClearWall()
{
    const QString wall = m_selPanel;
    if (sendCommands(walls::clearWall(installation(), wall))) {
        // The emptied wall is asked for its windows once it has applied the empty list,
        // so that the page redraws it; a timer keeps the window responsive meanwhile.
        QTimer::singleShot(kWallSettleMs, Qt::PreciseTimer, this, [this, wall] { ServerGetWindows(wall); });
    }
    return true;
}

void ImServerApi::ServerSetAudios(const QString &ip, const QString &cmd)
{
    sendCommands(walls::setAudios(installation(), ip, cmd));
}

QList<int> ImServerApi::callRectMask(const QVariantList &list) const
{
    QList<QRectF> rects;
    for (const QVariant &v : list) {
        // Qt.rect() from the pages, or a plain {x, y, width, height} object.
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
            KWARN(lcApi) << "callRectMask: not a rectangle:" << v;
            return {};
        }
        rects.append(QRectF(m.value(keys[0]).toReal(), m.value(keys[1]).toReal(), m.value(keys[2]).toReal(),
                            m.value(keys[3]).toReal()));
    }
    return walls::hiddenWindows(rects);
}

QStringList ImServerApi::getPanelDocks() const
{
    return walls::dockNames(m_walls, m_selPanel, m_translations, walls::DockGeneration::First);
}

QStringList ImServerApi::getPanelDocksV2() const
{
    const QStringList names = walls::dockNames(m_walls, m_selPanel, m_translations, walls::DockGeneration::Second);
    KTRACE(lcApi) << "getPanelDocksV2" << m_selPanel << names;
    return names;
}

QVariantList ImServerApi::getPanelDock(int index) const
{
    return walls::dockWindows(m_walls, m_selPanel, index, walls::DockGeneration::First);
}

QVariantList ImServerApi::getPanelDockV2(int index) const
{
    const QVariantList windows = walls::dockWindows(m_walls, m_selPanel, index, walls::DockGeneration::Second);
    KTRACE(lcApi) << "getPanelDockV2" << m_selPanel << index << windows;
    return windows;
}

QVariantMap ImServerApi::getPanelMsg(int index) const
{
    const QVariantMap map = walls::panelMessage(m_pages, m_walls, m_currentPage, index);
    KTRACE(lcApi) << "getPanelMsg" << m_currentPage << index << map;
    return map;
}

QString ImServerApi::getPanelIDFromIP(const QString &outIp) const
{
    return walls::wallOfOutput(m_outputs, outIp);
}
