#include "walls/wallcommands.h"

#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kora::walls {

using design::WallRecord;

Commands refuse(const QString &why)
{
    Commands c;
    c.refusal = why;
    return c;
}

Commands single(const QByteArray &data, const link::Destinations &to, const QString &why)
{
    if (to.isEmpty())
        return refuse(why);
    Commands c;
    c.items.append({data, to});
    return c;
}

namespace {

// Inclusive of the edges; a rectangle without area contains no point.
bool containsPoint(const QRectF &r, qreal px, qreal py)
{
    if (r.width() == 0 || r.height() == 0)
        return false;
    const QRectF n = r.normalized();
    return n.left() <= px && px <= n.right() && n.top() <= py && py <= n.bottom();
}

int coveredCorners(const QList<QRectF> &cover, const QRectF &r)
{
    const qreal left = r.x();
    const qreal top = r.y();
    const qreal right = r.x() + r.width();
    const qreal bottom = r.y() + r.height();
    int flags = 0;
    for (const QRectF &c : cover) {
        if (containsPoint(c, left, top))
            flags |= 0x1000;
        if (containsPoint(c, right, top))
            flags |= 0x0100;
        if (containsPoint(c, left, bottom))
            flags |= 0x0010;
        if (containsPoint(c, right, bottom))
            flags |= 0x0001;
    }
    return flags;
}

} // namespace

const WallRecord *findWall(const QList<WallRecord> &walls, const QString &wallId)
{
    for (const WallRecord &wall : walls) {
        if (wall.id == wallId)
            return &wall;
    }
    return nullptr;
}

bool addressableWall(const QString &wallId)
{
    return !wallId.isEmpty() && !wallId.contains(QLatin1Char(';')) && !wallId.contains(QLatin1Char(','))
           && !wallId.contains(QLatin1Char('{')) && !wallId.contains(QLatin1Char('}'));
}

QString unaddressable(const QString &wallId, const QString &what)
{
    return QStringLiteral("wall id \"%1\" cannot be addressed: %2").arg(wallId, what);
}

QStringList decoderNodes(const WallRecord &wall)
{
    QStringList nodes;
    for (const QString &address : wall.decoderAddresses) {
        if (!address.isEmpty())
            nodes.append(address);
    }
    return nodes;
}

QList<QPair<QString, QString>> outputHosts(const std::vector<OutputRecord> &outputs)
{
    QList<QPair<QString, QString>> hosts;
    for (const OutputRecord &o : outputs)
        hosts.append({o.address, o.wallId});
    return hosts;
}

link::Destinations wallDestinations(const Installation &in, const QString &wallId)
{
    if (!addressableWall(wallId))
        return {};
    const WallRecord *wall = findWall(in.walls, wallId);
    return link::wallRoute(in.serverIp, in.multicast, wallId, wall ? decoderNodes(*wall) : QStringList{});
}

QByteArray encoderCommand(const QString &function)
{
    // "Value" is a plain number here, not the object of the other node envelopes.
    const QJsonObject o{{QStringLiteral("Type"), QStringLiteral("System")},
                        {QStringLiteral("Function"), function},
                        {QStringLiteral("Value"), 0}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray keyFrameRequest()
{
    return encoderCommand(QStringLiteral("setGop"));
}

QByteArray emptyWallText(const QString &wallId)
{
    return link::textCommand(QStringLiteral("SetWindows"), {wallId});
}

QByteArray windowsQuery(const QString &wallId)
{
    return link::textCommand(QStringLiteral("GetWindows"), {wallId});
}

QByteArray silenceText(const QString &wallId)
{
    return link::textCommand(QStringLiteral("SetAudios"), {wallId});
}

QByteArray audioText(const QString &wallId, const QString &sourceIp, const QString &sourceUrl)
{
    const QString source = sourceUrl.contains(QLatin1String("url")) ? sourceIp : sourceUrl;
    return link::textCommand(QStringLiteral("SetAudios"), {wallId, QStringLiteral("0|") + source});
}

QByteArray audioRequest(const QString &wallId, const QString &decoder, const QString &url)
{
    return link::requestEnvelope(QStringLiteral("SetAudios"), {{QStringLiteral("panel_id"), wallId},
                                                               {QStringLiteral("dst_ip"), decoder},
                                                               {QStringLiteral("url"), url}});
}

QByteArray audioClearRequest(const QString &wallId)
{
    return audioRequest(wallId, QLatin1String(link::kWallGroup), QString());
}

Commands setWindows(const Installation &in, const QString &wallId, const QString &cmd)
{
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, QStringLiteral("window list not sent")));
    if (cmd.isEmpty())
        return refuse(QStringLiteral("empty window list for wall %1").arg(wallId));
    const link::Destinations to = wallDestinations(in, wallId);
    if (to.isEmpty())
        return refuse(QStringLiteral("wall %1 has no decoders: window list not sent").arg(wallId));
    Commands c;
    // Every encoder starts a new group of pictures, so that the new windows show at once.
    c.items.append({keyFrameRequest(), link::nodeControl(QLatin1String(link::kWallGroup))});
    c.items.append({cmd.toLatin1(), to});
    return c;
}

Commands getWindows(const Installation &in, const QString &wallId)
{
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, QStringLiteral("windows not asked for")));
    return single(windowsQuery(wallId), link::queryRoute(in.serverIp, wallId, outputHosts(in.outputs)),
               QStringLiteral("no output serves wall %1: windows not asked for").arg(wallId));
}

Commands clearWall(const Installation &in, const QString &wallId)
{
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, QStringLiteral("not cleared")));
    const link::Destinations to = wallDestinations(in, wallId);
    if (to.isEmpty())
        return refuse(QStringLiteral("wall %1 has no decoders: not cleared").arg(wallId));
    Commands c;
    c.items.append({emptyWallText(wallId), to});
    if (in.serverIp.isEmpty())
        c.items.append({silenceText(wallId), to});
    else
        c.items.append({audioClearRequest(wallId), link::serverRelay(in.serverIp)});
    return c;
}

Commands setAudios(const Installation &in, const QString &ip, const QString &cmd)
{
    const QString decoder = link::deviceAddress(ip);
    if (decoder.isEmpty())
        return refuse(QStringLiteral("audio command without a decoder: %1").arg(cmd));
    if (in.serverIp.isEmpty()) {
        if (decoder == QLatin1String("0.0.0.0"))
            return refuse(QStringLiteral("no decoder plays this audio (0.0.0.0): %1").arg(cmd));
        if (cmd.isEmpty())
            return refuse(QStringLiteral("empty audio command for %1").arg(ip));
        return single(cmd.toLatin1(), link::wallUnicast({ip}), QStringLiteral("not a decoder address: %1").arg(ip));
    }
    if (cmd.size() < 2 || !cmd.startsWith(QLatin1Char('{')) || !cmd.endsWith(QLatin1Char('}')))
        return refuse(QStringLiteral("not an audio command: %1").arg(cmd));
    const QStringList parts = cmd.mid(1, cmd.size() - 2).split(QLatin1Char(';'));
    if (parts.size() < 2)
        return refuse(QStringLiteral("audio command without a wall: %1").arg(cmd));
    const QString wallId = parts.at(1);
    if (!addressableWall(wallId))
        return refuse(unaddressable(wallId, QStringLiteral("audio not routed")));
    const QString url = parts.size() == 3 ? parts.at(2) : QString();
    return single(audioRequest(wallId, decoder, url), link::serverRelay(in.serverIp),
               QStringLiteral("not a controller address: %1").arg(in.serverIp));
}

QList<int> hiddenWindows(const QList<QRectF> &topFirst)
{
    const int n = topFirst.size();
    QList<int> hidden;
    for (int i = 0; i < n; ++i) {
        QList<QRectF> cover{topFirst.at(i)};
        for (int j = i + 1; j < n; ++j) {
            const QRectF &r = topFirst.at(j);
            const int flags = coveredCorners(cover, r);
            if (flags == 0) {
                KTRACE(lcApi) << "no mask:" << r;
            } else if (flags == 0x1111) {
                // Corners covered by different windows count too: the window is hidden.
                const int bottomUp = n - j - 1;
                if (!hidden.contains(bottomUp))
                    hidden.append(bottomUp);
                KTRACE(lcApi) << "mask:" << r;
            } else {
                // Partly covered: together with the windows above it, it may hide one below.
                KTRACE(lcApi) << "mask part:" << r;
                cover.append(r);
            }
        }
    }
    KTRACE(lcApi) << "need del block:" << hidden;
    return hidden;
}

QStringList dockNames(const QList<WallRecord> &walls, const QString &wallId, const TranslationTable &tr,
                      DockGeneration generation)
{
    QStringList names{translate(tr, QStringLiteral("default"))};
    const WallRecord *wall = findWall(walls, wallId);
    if (!wall)
        return names;
    if (wall->freeLayout == 1)
        names.append(translate(tr, QStringLiteral("free")));
    if (wall->fullScreen == 1)
        names.append(translate(tr, QStringLiteral("full screen")));
    if (generation == DockGeneration::Second) {
        for (const design::DockPreset &dock : wall->docks)
            names.append(dock.name);
    }
    return names;
}

QVariantList dockWindows(const QList<WallRecord> &walls, const QString &wallId, int index, DockGeneration generation)
{
    const WallRecord *wall = findWall(walls, wallId);
    if (!wall || generation != DockGeneration::Second || index < 0 || index >= wall->docks.size())
        return {};
    QVariantList out;
    for (const design::DockWindow &w : wall->docks.at(index).windows) {
        out.append(QVariantMap{{QStringLiteral("x"), w.rect.x()},
                               {QStringLiteral("y"), w.rect.y()},
                               {QStringLiteral("width"), w.rect.width()},
                               {QStringLiteral("height"), w.rect.height()},
                               {QStringLiteral("audio"), w.audio},
                               {QStringLiteral("chn"), w.chn}});
    }
    return out;
}

QVariantMap panelMessage(const std::vector<PageRecord> &pages, const QList<WallRecord> &walls, int currentPage,
                         int index)
{
    if (currentPage < 0 || size_t(currentPage) >= pages.size() || index < 0)
        return {};
    const QString &pageId = pages[size_t(currentPage)].id;
    int seen = 0;
    for (const WallRecord &wall : walls) {
        if (wall.pageId != pageId)
            continue;
        if (seen++ == index)
            return wall.description;
    }
    return {};
}

QString wallOfOutput(const std::vector<OutputRecord> &outputs, const QString &address)
{
    QString wallId;
    for (const OutputRecord &o : outputs) {
        if (o.address == address)
            wallId = o.wallId;
    }
    return wallId;
}

int pageFromPrivate(const QStringList &permittedPageIds, const std::vector<PageRecord> &pages, int index,
                    int currentPage)
{
    if (index < 0 || index >= permittedPageIds.size())
        return currentPage;
    const QString &id = permittedPageIds.at(index);
    for (size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].id == id)
            return int(i);
    }
    return currentPage;
}

} // namespace kora::walls
