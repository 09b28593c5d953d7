#pragma once
// Designed buttons, sliders and crosspoint matrices, and the control states every client
// shares through the installation. The packets are composed in controls/controlcommands.h;
// here they are logged and sent, each after its designed delay, by single-shot timers: the
// window keeps painting while a command sequence waits.
//
// It reads the data dockers' values and the matrix presets its owner keeps (replies fill
// both), and asks the owner which host keeps the control states. What concerns the pages
// (switching pages, showing widgets) and packets in the design command language go to the
// owner as signals, delivered at once and in order.
//
// Threads: main thread only.
#include "controls/controlcommands.h"
#include "link/sender.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <functional>

namespace kora::controls {

class ControlSender : public QObject
{
    Q_OBJECT
public:
    // By matrix id, entries "name*&_row_row...".
    using MatrixPresets = QMap<QString, QStringList>;
    using StateHost = std::function<link::Destinations()>;

    ControlSender(link::Sender &sender, const Values &values, MatrixPresets &presets, StateHost stateHost,
                  QObject *parent = nullptr);

    void button(const QStringList &blocks);
    void vx2Button(const QVariantMap &event);
    // Type 1 stores the slider's state after its last packet.
    void slider(const QString &uuid, const QString &blocks, float value, int type);
    void vx2Slider(const QString &uuid, const QJsonObject &event, float value, int type);
    void matrix(const QString &blocks, const QString &x, const QString &y);

    // A control state: published to every client and kept by the host; a matrix state keeps
    // the matrix's presets with it.
    void setStatus(const QString &uuid, const QString &data);
    void getStatus(const QString &uuid);
    // The preset list changes, the state is stored with it, and it is asked for again.
    void saveMatrixPreset(const QString &uuid, const QString &name, const QString &data);
    void deleteMatrixPreset(const QString &uuid, int index, const QString &data);
    // The preset's rows, its state stored as the matrix's.
    QStringList callMatrixPreset(const QString &uuid, int index);

    // Packets in order, each after its delay (delays add up along the list); `then` runs
    // after the last one.
    void sendPackets(const QList<Packet> &packets, std::function<void()> then = {});

signals:
    void internalCommand(const QByteArray &command);
    void switchPage(const QStringList &pages);
    void widgetsVisible(const QJsonArray &names, bool visible);

private:
    void sendPacket(const Packet &packet);
    void sendSliderState(const QString &uuid, float value);
    void getStatusLater(const QString &uuid);

    link::Sender &m_sender;
    const Values &m_values;
    MatrixPresets &m_presets;
    const StateHost m_stateHost;
};

} // namespace kora::controls
