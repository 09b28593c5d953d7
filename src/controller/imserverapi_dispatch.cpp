// Replies and notifications on the command socket: parsed by the dispatcher into actions,
// turned here into the model's changes, the pages' signals and the follow-up requests; and
// the design command language ("{Inline...}") from designed buttons and the controller, whose
// meaning is decided in commands/designcommands.h (the controller's part is done here, the
// rest goes to the pages).
#include "controller/imserverapi.h"

#include "commands/designcommands.h"
#include "dispatch/replies.h"
#include "dispatch/signallists.h"
#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QHostAddress>

using namespace kora;


dispatch::Context ImServerApi::dispatchContext() const
{
    dispatch::Context context;
    context.signalList = &m_project.devices.signalList;
    for (const design::WallRecord &wall : m_walls)
        context.walls.append({wall.id, wall.decoderAddresses});
    context.selPanel = m_selPanel;
    context.localIp = m_store.values.localIp;
    auto addSource = [&context](const QString &address) {
        const QHostAddress a(link::deviceAddress(address));
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            context.signalSources.append(a.toString());
    };
    addSource(m_store.values.serverIp);
    addSource(m_session.hostAddress());
    return context;
}

void ImServerApi::handleReplies(const QList<link::Datagram> &batch)
{
    const dispatch::Context context = dispatchContext();
    for (const link::Datagram &datagram : batch)
        handleReply(datagram.data, datagram.sender, context);
}

void ImServerApi::handleReply(const QByteArray &datagram, const QString &sender, const dispatch::Context &context)
{
    m_wallControl.heardFrom(sender);
    for (const dispatch::Action &action : dispatch::dispatchDatagram(datagram, sender, context, m_dispatchState)) {
        if (!dispatch::acceptedFrom(action.kind, sender, context)) {
            const QString kind = QStringLiteral("signal list from a stranger");
            if (m_refusals.allow(kind))
                KWARN(lcLink) << dispatch::kindName(action.kind) << "from" << sender
                              << "refused: neither the controller nor the host;" << m_refusals.count(kind) << "so far";
            continue;
        }
        apply(action);
    }
}

void ImServerApi::apply(const dispatch::Action &a)
{
    using dispatch::Kind;
    switch (a.kind) {
    case Kind::ClearBlock: emit callQmlClearBlock(a.wallId); break;
    case Kind::AddBlock: emit callQmlAddBlock(a.wallId, a.map); break;
    case Kind::AddScenes: emit callQmlAddScenes(a.wallId, a.ids, a.names); break;
    case Kind::GetWindowsSoon: m_wallControl.getWindowsLater(a.wallId); break;
    case Kind::SendGetWindows100:
        m_link.sendUdp(QByteArrayLiteral("{GetWindows;100}"), a.wallId, link::kCommandPort);
        break;
    case Kind::GetScenesSoon: m_sceneControl.getScenesLater(a.wallId); break;
    case Kind::RefreshScene: emit callQmlRefreshScene(a.wallId, a.text); break;
    case Kind::ScenesMsg: emit callQmlScenesMsg(a.object); break;
    case Kind::RefreshOsd: emit callQmlRefreshOSD(a.text); break;
    case Kind::RefreshCycle: emit callQmlRefreshCycle(a.object); break;
    case Kind::CycleGroups: m_sceneControl.setCycleGroups(a.wallId, a.list); break;
    case Kind::RefreshCycleGroups: emit callQmlRefreshCycleGroups(); break;
    case Kind::RefreshSlider: emit callQmlRefreshSlider(a.map); break;
    case Kind::RefreshButton: emit callQmlRefreshButton(a.map); break;
    case Kind::RefreshButtonAct: emit callQmlRefreshButtonAct(a.map); break;
    case Kind::RefreshMatrix: emit callQmlRefreshMatrix(a.map); break;
    case Kind::Clocks: emit callRefreshClocks(a.list); break;
    case Kind::SignalMsg: emit callQmlSignalMsg(a.map); break;
    case Kind::CustomProtocol: analyzCustomProtocol(a.raw); break;
    case Kind::Trace: KTRACE(lcLink) << a.text; break;
    case Kind::SignalTree:
    case Kind::SignalTreePage: addResourceSignals(a); break;
    case Kind::SnapUrls: {
        // Only signals of the model move: an id without a preview record (unknown, or left
        // out by the caps) gets no reader.
        QHash<QString, QString> byId;
        for (const QVariant &v : a.list) {
            const QVariantMap entry = v.toMap();
            byId.insert(entry.value(QStringLiteral("id")).toString(), entry.value(QStringLiteral("snapUrl")).toString());
        }
        m_snapshots.repoint(byId);
        break;
    }
    }
}

// Cameras and other sources the controller lists: each becomes a signal (once) and a member of
// the group named by its path, or of the group of the whole list.
void ImServerApi::addResourceSignals(const dispatch::Action &a)
{
    const bool paged = a.kind == dispatch::Kind::SignalTreePage;
    const dispatch::SignalMerge merge = dispatch::mergeSignalList(m_project.devices.signalList, m_project.devices.groups, a.list, paged, &m_wholeListGroup);
    for (int index : merge.added) {
        const SignalRecord &s = m_project.devices.signalList[size_t(index)];
        // The paged form names the stream the controller pushes; the other starts no reader.
        m_snapshots.addSignal(s.ip, paged ? s.snapshotUrl : QString());
    }
    if (merge.refused > 0) {
        m_refusedSignals += quint64(merge.refused);
        if (m_refusals.allow(QStringLiteral("signal caps")))
            KWARN(lcLink) << merge.refused << "listed signals left out: at most" << dispatch::kMaxSignals << "signals in"
                          << dispatch::kMaxGroups << "groups;" << m_refusedSignals << "so far";
    }
    if (paged)
        emit callQmlRefreshIPCList(1);
    else if (merge.group >= 0)
        emit callQmlRefreshIPCList(merge.group);
}

void ImServerApi::analyzCustomProtocol(const QByteArray &command)
{
    const QStringList parts = commands::commandParts(command);
    KTRACE(lcApi) << "design command" << parts;
    if (parts.isEmpty())
        return;
    const commands::DesignCommand c = commands::interpretDesignCommand(parts);
    if (!c.selectWall.isEmpty())
        setSelPanel(c.selectWall);

    using Action = commands::DesignCommand::Action;
    switch (c.action) {
    case Action::None:
        break;
    case Action::GetStatus:
        ServerGetStatus(m_selPanel);
        break;
    case Action::GetWindows:
        ServerGetWindows(m_selPanel);
        break;
    case Action::ClearWall:
        ServerClearWall();
        break;
    case Action::GetClocks:
        m_osd.getClocks(m_selPanel);
        break;
    case Action::SetVariable:
        m_values.variables.insert(c.name, c.value);
        break;
    case Action::PanelSleep:
        if (const design::WallRecord *wall = walls::findWall(m_walls, c.wall)) {
            const QByteArray sleep = commands::screenSleepCommand(c.on);
            for (const QString &decoder : walls::decoderNodes(*wall))
                m_link.sendUdp(sleep, decoder, link::kCommandPort);
        } else {
            KWARN(lcApi) << "screen command for unknown wall" << c.wall;
        }
        break;
    case Action::PanelLock: {
        const QByteArray lock = commands::lockCommand(c.wall, c.on);
        if (!lock.isEmpty())
            m_link.sendUdp(lock, QString::fromLatin1(link::kWallGroup), link::kCommandPort);
        break;
    }
    case Action::StackIndex:
        for (const design::StackRecord &stack : qAsConst(m_stacks)) {
            if (stack.name != c.name)
                continue;
            for (int k = 0; k < stack.pages.size(); ++k)
                emit callSetWidgetVisible(stack.pages.at(k), k == c.index);
        }
        break;
    // Cameras named by number in the design; the preset's name is its number too.
    case Action::IpcMove:
        m_devices.cameraMove(QString::number(c.numbers.value(0)), c.numbers.value(1));
        break;
    case Action::IpcZoom:
        m_devices.cameraZoom(QString::number(c.numbers.value(0)), c.numbers.value(1));
        break;
    case Action::IpcPresets:
        m_devices.cameraPreset(QString::number(c.numbers.value(0)), QString::number(c.numbers.value(1)),
                                c.numbers.value(2));
        break;
    }
    if (c.toPages)
        emit callCustomProtocol(c.func, c.params);
}
