// The design command language ("{Inline...}") from designed buttons and the controller, and
// the KVM hosts' messages. What a command means is decided in commands/designcommands.h;
// here the controller's part is done and the rest goes to the pages.
#include "controller/imserverapi.h"

#include "commands/designcommands.h"
#include "devices/devicecontrol.h"
#include "link/messages.h"
#include "log/categories.h"
#include "log/trace.h"
#include "osd/osdcontrol.h"
#include "walls/wallcommands.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace kora;

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
        m_osd->getClocks(m_selPanel);
        break;
    case Action::SetVariable:
        m_values.variables.insert(c.name, c.value);
        break;
    case Action::PanelSleep:
        if (const design::WallRecord *wall = walls::findWall(m_walls, c.wall)) {
            const QByteArray sleep = commands::screenSleepCommand(c.on);
            for (const QString &decoder : walls::decoderNodes(*wall))
                m_link->sendUdp(sleep, decoder, link::kCommandPort);
        } else {
            KWARN(lcApi) << "screen command for unknown wall" << c.wall;
        }
        break;
    case Action::PanelLock: {
        const QByteArray lock = commands::lockCommand(c.wall, c.on);
        if (!lock.isEmpty())
            m_link->sendUdp(lock, QString::fromLatin1(link::kWallGroup), link::kCommandPort);
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
        m_devices->cameraMove(QString::number(c.numbers.value(0)), c.numbers.value(1));
        break;
    case Action::IpcZoom:
        m_devices->cameraZoom(QString::number(c.numbers.value(0)), c.numbers.value(1));
        break;
    case Action::IpcPresets:
        m_devices->cameraPreset(QString::number(c.numbers.value(0)), QString::number(c.numbers.value(1)),
                                c.numbers.value(2));
        break;
    }
    if (c.toPages)
        emit callCustomProtocol(c.func, c.params);
}
