#pragma once
// The wall commands of the controller object as pure functions of the settings and the
// project model: the exact bytes, their destinations and their order. The controller object
// sends what these return, logs each command first, and waits where a step says so.
#include "design/designbuild.h"
#include "link/routes.h"
#include "model/records.h"
#include "settings/translations.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <vector>

namespace kora::walls {

// One datagram to each destination, in order.
struct Outgoing {
    QByteArray data;
    link::Destinations to;
    bool operator==(const Outgoing &o) const { return data == o.data && to == o.to; }
};

// What one step of a command sends. A refused step sends nothing and says why, once.
struct Commands {
    QList<Outgoing> items;
    QString refusal;
    bool refused() const { return !refusal.isEmpty(); }
};
Commands refuse(const QString &why);
// One datagram to `to`; refused with `why` when the route found nobody.
Commands single(const QByteArray &data, const link::Destinations &to, const QString &why);

// The part of the controller's state that decides where wall and scene commands go.
struct Installation {
    QString serverIp; // empty: no controller, the devices are addressed directly
    bool multicast = true;
    bool nodesAnswered = true; // some node answered the scan: the wall group has listeners
    QList<design::WallRecord> walls;
    std::vector<OutputRecord> outputs;
};

// The id that addresses every wall at once.
inline const QString kAllWalls = QStringLiteral("100");

const design::WallRecord *findWall(const QList<design::WallRecord> &walls, const QString &wallId);
// A wall id that a command can carry: not empty, and no ";", ",", "{" or "}" that would
// shift the fields or end the command. Whether the wall is in the design does not matter:
// the controller and the group reach any wall.
bool addressableWall(const QString &wallId);
// Why nothing was done (`what`) for a wall id that is not addressable.
QString unaddressable(const QString &wallId, const QString &what);
// The wall's decoders in cell order; holes (empty texts) are left out.
QStringList decoderNodes(const design::WallRecord &wall);
// Every output with its wall id: the first output of a wall is the host that serves it.
QList<QPair<QString, QString>> outputHosts(const std::vector<OutputRecord> &outputs);
// The wall route of an addressable wall: the controller, else the group (multicast, or
// "100"), else the wall's decoders (none for a wall the design does not name).
link::Destinations wallDestinations(const Installation &in, const QString &wallId);

// Texts and JSON forms.
// A node envelope to the encoders whose "Value" is the number 0.
QByteArray encoderCommand(const QString &function);
QByteArray keyFrameRequest();                          // {"Function":"setGop","Type":"System","Value":0}
QByteArray emptyWallText(const QString &wallId);       // {SetWindows;W}
QByteArray windowsQuery(const QString &wallId);        // {GetWindows;W}
QByteArray silenceText(const QString &wallId);         // {SetAudios;W}
// {SetAudios;W;0|source}: the source URL, or its IP when the URL holds "url".
QByteArray audioText(const QString &wallId, const QString &sourceIp, const QString &sourceUrl);
// The request envelope "SetAudios" for the controller.
QByteArray audioRequest(const QString &wallId, const QString &decoder, const QString &url);
QByteArray audioClearRequest(const QString &wallId); // the whole wall, through the group address

// Senders, one step each.
// The key-frame request to every encoder, then the window list by the wall route.
Commands setWindows(const Installation &in, const QString &wallId, const QString &cmd);
Commands getWindows(const Installation &in, const QString &wallId);
// Empties the wall and silences it; the window query follows after a pause.
Commands clearWall(const Installation &in, const QString &wallId);
// One decoder's audio: to the decoder itself, or as a request to the controller.
Commands setAudios(const Installation &in, const QString &ip, const QString &cmd);

// Positions (bottom-to-top) of the windows that windows above them hide completely; the
// list holds the windows top-most first. Each hidden window is listed once, in the order found.
QList<int> hiddenWindows(const QList<QRectF> &topFirst);

// Dock layouts. The first generation (older design format) is not read, so it has none.
enum class DockGeneration { First, Second };
// "default", then "free" and "full screen" when offered, then the layout names; translated.
QStringList dockNames(const QList<design::WallRecord> &walls, const QString &wallId, const TranslationTable &tr,
                      DockGeneration generation);
// The windows of layout `index`: maps "x", "y", "width", "height", "chn" (and "audio" for the
// second generation); empty for an unknown wall or an index out of range.
QVariantList dockWindows(const QList<design::WallRecord> &walls, const QString &wallId, int index,
                         DockGeneration generation);

// The description of wall `index` of page `currentPage`; empty when there is none.
QVariantMap panelMessage(const std::vector<PageRecord> &pages, const QList<design::WallRecord> &walls,
                         int currentPage, int index);
// The wall id of the last output with that address; "" when none.
QString wallOfOutput(const std::vector<OutputRecord> &outputs, const QString &address);
// The page list position of entry `index` of the permitted page ids; `currentPage` when
// the entry or its page does not exist.
int pageFromPrivate(const QStringList &permittedPageIds, const std::vector<PageRecord> &pages, int index,
                    int currentPage);

} // namespace kora::walls
