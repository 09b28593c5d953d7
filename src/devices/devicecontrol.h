#pragma once
// Single devices: a KVM seat's mouse and keys, camera steering, marking on an input, the
// encoder's crop, snapshot size and configuration, a KVM host's file tree and playback, and
// the alarm events of the event group. The bytes are composed in devices/devicecommands.h;
// here they are logged and sent, and alarm requests become signals for the pages.
//
// It reads the owner's signal list and settings in place (both outlive it), and asks the
// owner for the KVM hosts when a file tree is wanted.
//
// Threads: main thread only.
#include "devices/devicecommands.h"
#include "link/sender.h"
#include "settings/controlsettings.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <functional>

namespace kora::devices {

// Open alarms kept at once, here and as cards on the pages.
constexpr int kMaxOpenAlarms = 50;

class DeviceControl : public QObject
{
    Q_OBJECT
public:
    using Hosts = std::function<QList<HostTree>()>;

    DeviceControl(link::Sender &sender, const std::vector<SignalRecord> &signalList, const ControlSettings &settings,
                  Hosts hosts, QObject *parent = nullptr);

    // KVM, addressed by the seat's signal address.
    void kvmMouse(const QString &ip, int button, int x, int y);
    void kvmKey(const QString &ip, int qtKey, int qtModifiers);
    void kvmKeyReleased(const QString &ip);

    // Cameras, through the controller.
    void cameraMove(const QString &cameraId, int direction);
    void cameraZoom(const QString &cameraId, int direction);
    void cameraPreset(const QString &cameraId, const QString &name, int save);

    // Marking on an input.
    void markStart(const QString &ip);
    void markStroke(const QString &ip, int x, int y, int width, const QString &colour);
    void markTo(const QString &ip, int x, int y);
    void markFrame(const QString &ip, int x, int y, int w, int h);
    void markClear(const QString &ip);
    void markEnd(const QString &ip);

    // The encoder of an input.
    void crop(const QString &ip, int x, int y, int w, int h);
    void snapshotSize(const QString &ip, int type);
    void queryConfig(const QString &ip);

    // The KVM host shown by an encoder.
    void requestHostTree(const QString &vencIp);
    QJsonArray hostFiles(const QString &vencIp, const QString &pid) const;
    QString hostAddress(const QString &vencIp) const;
    void controlHostFile(int type, const QString &id, const QString &act, const QString &hostIp);

    // Alarms: a datagram of the event group, and the operator's answers.
    void handleEvent(const QByteArray &datagram, const QHostAddress &sender, quint16 senderPort);
    void answerAudioEvent(const QString &eventId, bool activate, int nextTime);
    void answerInputEvent(const QString &srcIp, int nextTime, const QString &address, int port);

signals:
    void audioEvent(const QString &eventName, const QString &eventId, int nextTime);
    // `srcIp` is the input the alarm is about: its answer names it again.
    void videoEvent(const QString &eventName, int nextTime, const QString &address, int port, const QString &srcIp);
    // Another client answered the alarm ("ActiveAudio" or "ActiveInput").
    void eventOver(const QString &response);

private:
    void send(const link::Destinations &to, const QByteArray &data, const char *what, const QString &ip);

    link::Sender &m_sender;
    const std::vector<SignalRecord> &m_signals;
    const ControlSettings &m_settings;
    Hosts m_hosts;
    // Where each open audio alarm came from, by event id, oldest first: its answer goes back
    // there. As many as the pages show cards for; the oldest make way.
    struct Requester {
        QString eventId;
        QHostAddress address;
        quint16 port = 0;
    };
    QList<Requester> m_audioRequesters;
};

} // namespace kora::devices
