// Designed buttons, sliders and crosspoint matrices, and the control states every client
// shares: forwards to the control sender (controls/controlsender.h).
#include "controller/imserverapi.h"

#include "controls/controlsender.h"

void ImServerApi::ServerButtonCmd(const QStringList &Cmd)
{
    m_controls->button(Cmd);
}

void ImServerApi::ServerVX2ButtonCmd(const QVariantMap &cmdMap)
{
    m_controls->vx2Button(cmdMap);
}

void ImServerApi::ServerSliderCmd(const QString &uuid, const QString &Cmd, float value, int type)
{
    m_controls->slider(uuid, Cmd, value, type);
}

void ImServerApi::ServerVX2SliderCmd(const QString &uuid, const QJsonObject &cmdJosn, float value, int type)
{
    m_controls->vx2Slider(uuid, cmdJosn, value, type);
}

void ImServerApi::ServerMatrixCmd(const QString &Cmd, const QString &xValue, const QString &yValue)
{
    m_controls->matrix(Cmd, xValue, yValue);
}

void ImServerApi::ServerSetStatus(const QString &uuid, const QString &data)
{
    m_controls->setStatus(uuid, data);
}

void ImServerApi::ServerGetStatus(const QString &uuid)
{
    m_controls->getStatus(uuid);
}

void ImServerApi::ServerSaveMatrixPreset(const QString &uuid, const QString &name, const QString &data)
{
    m_controls->saveMatrixPreset(uuid, name, data);
}

void ImServerApi::ServerDelMatrixPreset(const QString &uuid, int index, const QString &data)
{
    m_controls->deleteMatrixPreset(uuid, index, data);
}

QStringList ImServerApi::ServerCallMatrixPreset(const QString &uuid, int index)
{
    return m_controls->callMatrixPreset(uuid, index);
}
