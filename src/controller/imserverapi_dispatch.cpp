// Replies and notifications on the command socket: parsed by the dispatcher into actions,
// turned here into the model's changes, the pages' signals and the follow-up requests.
#include "controller/imserverapi.h"

#include "dispatch/replies.h"
#include "dispatch/signallists.h"
#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"
#include "scenes/scenecontrol.h"
#include "walls/wallcontrol.h"

#include <QHostAddress>

using namespace kora;


dispatch::Context ImServerApi::dispatchContext() const
{
    dispatch::Context context;
    context.signalList = &m_model.signalList;
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
    if (m_hostIndex >= 0 && m_hostIndex < m_nodes.size())
        addSource(m_nodes.at(m_hostIndex).address);
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
    case Kind::GetWindowsSoon: m_wallControl->getWindowsLater(a.wallId); break;
    case Kind::SendGetWindows100:
        m_link->sendUdp(QByteArrayLiteral("{GetWindows;100}"), a.wallId, link::kCommandPort);
        break;
    case Kind::GetScenesSoon: m_sceneControl->getScenesLater(a.wallId); break;
    case Kind::RefreshScene: emit callQmlRefreshScene(a.wallId, a.text); break;
    case Kind::ScenesMsg: emit callQmlScenesMsg(a.object); break;
    case Kind::RefreshOsd: emit callQmlRefreshOSD(a.text); break;
    case Kind::RefreshCycle: emit callQmlRefreshCycle(a.object); break;
    case Kind::CycleGroups: m_sceneControl->setCycleGroups(a.wallId, a.list); break;
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
        m_snapshots->repoint(byId);
        break;
    }
    }
}

// Cameras and other sources the controller lists: each becomes a signal (once) and a member of
// the group named by its path, or of the group of the whole list.
void ImServerApi::addResourceSignals(const dispatch::Action &a)
{
    const bool paged = a.kind == dispatch::Kind::SignalTreePage;
    const dispatch::SignalMerge merge = dispatch::mergeSignalList(m_model.signalList, m_model.groups, a.list, paged, &m_wholeListGroup);
    for (int index : merge.added) {
        const SignalRecord &s = m_model.signalList[size_t(index)];
        // The paged form names the stream the controller pushes; the other starts no reader.
        m_snapshots->addSignal(s.ip, paged ? s.snapshotUrl : QString());
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
