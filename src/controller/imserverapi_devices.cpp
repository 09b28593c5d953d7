// Single devices, on-screen text and wall backgrounds: forwards to devices/devicecontrol.h,
// osd/osdcontrol.h and upload/background.h.
#include "controller/imserverapi.h"

#include "devices/devicecontrol.h"
#include "log/categories.h"
#include "log/trace.h"
#include "osd/osdcontrol.h"
#include "upload/background.h"

#include <QFileDialog>
#include <QMessageBox>

using kora::osd::Form;

// The wheel has no place in the seat's mouse packet.
void ImServerApi::serverKVMMouseEvent(const QString &ip, int button, int x, int y, int) { m_devices->kvmMouse(ip, button, x, y); }
void ImServerApi::serverKVMKeyEvent(const QString &ip, int key, int modifiers) { m_devices->kvmKey(ip, key, modifiers); }
void ImServerApi::serverKVMKeyReleasedEvent(const QString &ip) { m_devices->kvmKeyReleased(ip); }
void ImServerApi::controlIPCMove(const QString &cameraId, int direction) { m_devices->cameraMove(cameraId, direction); }
void ImServerApi::controlIPCZoom(const QString &cameraId, int direction) { m_devices->cameraZoom(cameraId, direction); }
void ImServerApi::controlIPCPresets(const QString &cameraId, const QString &name, int save) { m_devices->cameraPreset(cameraId, name, save); }
void ImServerApi::serverInLabelStartEvent(const QString &ip) { m_devices->markStart(ip); }
void ImServerApi::serverInLabelClearEvent(const QString &ip) { m_devices->markClear(ip); }
void ImServerApi::serverInLabelEndEvent(const QString &ip) { m_devices->markEnd(ip); }
void ImServerApi::serverInLabelStartPtEvent(const QString &ip, int x, int y, int w, const QString &clr) { m_devices->markStroke(ip, x, y, w, clr); }
void ImServerApi::serverInLabelToPtEvent(const QString &ip, int x, int y) { m_devices->markTo(ip, x, y); }
void ImServerApi::serverInLabelRectEvent(const QString &ip, int x, int y, int w, int h) { m_devices->markFrame(ip, x, y, w, h); }
void ImServerApi::serverCropSignal(const QString &sId, int x, int y, int w, int h) { m_devices->crop(sId, x, y, w, h); }
void ImServerApi::serverSetSignalSnapDip(const QString &sId, int type) { m_devices->snapshotSize(sId, type); }
void ImServerApi::serverGetSignalMsg(const QString &sId) { m_devices->queryConfig(sId); }
void ImServerApi::serverGetHostFileInfo(const QString &vencIp) { m_devices->requestHostTree(vencIp); }
QJsonArray ImServerApi::serverQueryHostFileInfo(const QString &vencIp, const QString &pid) const { return m_devices->hostFiles(vencIp, pid); }
QString ImServerApi::serverQueryHostIpFromVenc(const QString &vencIp) const { return m_devices->hostAddress(vencIp); }
void ImServerApi::serverControlHostFile(int type, const QString &id, const QString &cmd, const QString &ip) { m_devices->controlHostFile(type, id, cmd, ip); }
void ImServerApi::serverAudioEvent(const QString &eventID, bool select, int time) { m_devices->answerAudioEvent(eventID, select, time); }
void ImServerApi::serverVideoEvent(const QString &srcIP, int time, const QString &ip, int port) { m_devices->answerInputEvent(srcIP, time, ip, port); }

// Subtitles act on the selected wall.
void ImServerApi::makeOSDImage(const QVariantMap &osdMap) { m_osd->makeImage(m_selPanel, osdMap); }
void ImServerApi::showOSD(const QVariantMap &osdMap) { m_osd->show(Form::Image, m_selPanel, osdMap); }
void ImServerApi::closeOSD(const QVariantMap &osdMap) { m_osd->close(Form::Image, m_selPanel, osdMap); }
void ImServerApi::makeOSDImageV2(const QVariantMap &osdMap) { m_osd->show(Form::Text, m_selPanel, osdMap); }
void ImServerApi::showOSDV2(const QVariantMap &osdMap) { m_osd->show(Form::Text, m_selPanel, osdMap); }
void ImServerApi::closeOSDV2(const QVariantMap &osdMap) { m_osd->close(Form::Text, m_selPanel, osdMap); }
void ImServerApi::ServerSetInNodeOSD(const QVariantMap &osdMap) { m_osd->inputLabel(osdMap); }
void ImServerApi::serverSetClocks(const QVariantList &list) { m_osd->setClocks(m_selPanel, list); }
void ImServerApi::serverGetClocks(const QString &panel_id) { m_osd->getClocks(panel_id); }

void ImServerApi::upLoadBackgroundImage(const QString &)
{
    const QString file = QFileDialog::getOpenFileName(nullptr, language(QStringLiteral("open image file")),
                                                      QStringLiteral("./"), QStringLiteral("Image files(*.bmp *.jpg )"));
    if (file.isEmpty()) {
        QMessageBox::warning(nullptr, language(QStringLiteral("Warning")), language(QStringLiteral("Failed to open picture!")));
        return;
    }
    const kora::design::WallRecord *wall = kora::walls::findWall(m_walls, m_selPanel);
    if (!wall) {
        KTRACE(lcApi) << "no wall" << m_selPanel << "for the background";
        return;
    }
    m_backgrounds->startFromFile(m_selPanel, file, wall->virtualResolution, wall->decoderAddresses, wall->cellRects);
}
