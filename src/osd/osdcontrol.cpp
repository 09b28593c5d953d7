#include "osd/osdcontrol.h"

#include "link/messages.h"
#include "link/routes.h"
#include "log/categories.h"
#include "log/trace.h"
#include "osd/osdframe.h"
#include "upload/uploader.h"

#include <QColor>

namespace kora::osd {

OsdControl::OsdControl(link::Sender &sender, upload::UploadThread &uploads, InstallationFn installation, QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_uploads(uploads)
    , m_installation(std::move(installation))
{
    connect(&m_uploads, &upload::UploadThread::finished, this, [this](int job, bool ok, const QString &reason) {
        if (!m_waiting.contains(job))
            return; // another concern's upload
        const auto [wallId, osdMap] = m_waiting.take(job);
        if (!ok) {
            KWARN(lcApi) << "subtitle picture for" << wallId << "not uploaded:" << reason;
            emit notShown(QStringLiteral("The subtitle picture could not be sent: %1").arg(reason));
            return;
        }
        present(Form::Image, wallId, osdMap);
    });
}

QVariantMap OsdControl::bounded(const QString &wallId, const QVariantMap &osdMap)
{
    bool changed = false;
    const QVariantMap out = boundedSubtitle(osdMap, &changed);
    if (changed)
        KWARN(lcApi) << "subtitle for" << wallId << ": height" << osdMap.value(QStringLiteral("height")) << "or width"
                     << osdMap.value(QStringLiteral("width")) << "out of bounds, taken as" << out.value(QStringLiteral("height"))
                     << out.value(QStringLiteral("width"));
    return out;
}

void OsdControl::cancelWaiting(const QString &wallId)
{
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (it.value().first == wallId) {
            KTRACE(lcApi) << "subtitle for" << wallId << "waiting for upload" << it.key() << "replaced";
            it = m_waiting.erase(it);
        } else {
            ++it;
        }
    }
}

void OsdControl::makeImage(const QString &wallId, const QVariantMap &dialogMap)
{
    cancelWaiting(wallId);
    const QVariantMap osdMap = bounded(wallId, dialogMap);
    if (!m_installation().nodesAnswered) {
        KWARN(lcApi) << "subtitle picture for" << wallId << "not sent: no node answered the scan";
        emit notShown(QStringLiteral("No display node answered; the subtitle picture was not sent."));
        return;
    }
    const QColor fontColour(osdMap.value(QStringLiteral("fontCol")).toString());
    const int width = textWidth(dialogFont(osdMap), osdMap.value(QStringLiteral("string")).toString());
    if (width > kMaxSubtitleWidth) {
        KWARN(lcApi) << "subtitle for" << wallId << "not made: its picture would be" << width << "pixels wide";
        emit notShown(QStringLiteral("The subtitle is too long for one picture."));
        return;
    }
    const QImage picture = renderSubtitle(dialogFont(osdMap), osdMap.value(QStringLiteral("string")).toString(), fontColour,
                                          QColor(osdMap.value(QStringLiteral("bkCol")).toString()),
                                          number(osdMap.value(QStringLiteral("height"))));
    if (picture.isNull()) {
        KWARN(lcApi) << "subtitle for" << wallId << "not made: no text or no height";
        emit notShown(QStringLiteral("The subtitle has no text or no height."));
        return;
    }
    const int job = m_uploads.upload(upload::Job::toWallGroup(wallId, kSubtitleFile, subtitleFrame(picture, fontColour)));
    KTRACE(lcApi) << "subtitle picture" << picture.size() << "for" << wallId << "upload" << job;
    m_waiting.insert(job, {wallId, osdMap});
}

void OsdControl::show(Form form, const QString &wallId, const QVariantMap &osdMap)
{
    // A subtitle refused changes nothing on the wall, not even one waiting for its picture.
    const QString refusal = form == Form::Text ? textFormRefusal(osdMap) : QString();
    if (!refusal.isEmpty()) {
        KWARN(lcApi) << "subtitle for" << wallId << "not shown:" << refusal;
        emit notShown(refusal);
        return;
    }
    cancelWaiting(wallId);
    present(form, wallId, bounded(wallId, osdMap));
}

void OsdControl::present(Form form, const QString &wallId, const QVariantMap &osdMap)
{
    // The state is kept first, so the dialog shows what was asked for even when nothing fits.
    emit stateToStore(wallId, subtitleState(form, wallId, osdMap, true));
    const walls::Installation in = m_installation();
    const design::WallRecord *w = walls::findWall(in.walls, wallId);
    if (!w) {
        KWARN(lcApi) << "subtitle for" << wallId << "not shown: no such wall";
        return;
    }
    const int y = number(osdMap.value(QStringLiteral("y")));
    const std::optional<Placement> placement = placeSubtitle(*w, y);
    if (!placement) {
        KWARN(lcApi) << "subtitle for" << wallId << "not shown: y" << y << "lies below the last row";
        emit notShown(QStringLiteral("The subtitle lies below the wall's last row and is not shown."));
        return;
    }
    const QByteArray command = subtitleCommand(form, wallId, osdMap, subtitleX(osdMap, form, w->virtualResolution.width()),
                                               placement->place.y);
    KTRACE(lcApi) << "subtitle" << wallId << "row" << placement->place.row << command;
    m_sender.sendTo(link::wallUnicast(placement->decoders), command);
}

void OsdControl::close(Form form, const QString &wallId, const QVariantMap &osdMap)
{
    cancelWaiting(wallId);
    emit stateToStore(wallId, subtitleState(form, wallId, bounded(wallId, osdMap), false));
    m_sender.sendTo(link::wallMulticast(), closeSubtitleCommand(wallId));
}

void OsdControl::inputLabel(const QVariantMap &osdMap)
{
    const QString ip = osdMap.value(QStringLiteral("ip")).toString();
    KTRACE(lcApi) << "input label" << ip;
    m_sender.sendTo(link::nodeControl(ip), inputLabelCommand(osdMap));
}

void OsdControl::setClocks(const QString &wallId, const QVariantList &clocks)
{
    const QString refusal = clockRefusal(clocks);
    if (!refusal.isEmpty()) {
        KWARN(lcApi) << "clocks for" << wallId << "not sent:" << refusal;
        emit notShown(refusal + QStringLiteral("; nothing was saved."));
        return;
    }
    const walls::Installation in = m_installation();
    const QByteArray command = clockCommand(wallId, clocks);
    if (in.multicast) {
        m_sender.sendTo(link::wallMulticast(), command);
        return;
    }
    const design::WallRecord *w = walls::findWall(in.walls, wallId);
    if (!w) {
        KWARN(lcApi) << "clocks for" << wallId << "not sent: no such wall";
        return;
    }
    m_sender.sendTo(link::wallUnicast(walls::decoderNodes(*w)), command);
}

void OsdControl::getClocks(const QString &wallId)
{
    for (const OutputRecord &o : m_installation().outputs) {
        if (o.wallId == wallId) {
            m_sender.sendUdp(clockQuery(wallId), o.address, link::kCommandPort);
            return;
        }
    }
    KTRACE(lcApi) << "clocks of" << wallId << "not asked for: the wall has no output";
}

} // namespace kora::osd
