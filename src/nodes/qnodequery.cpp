#include "nodes/qnodequery.h"

QNodeControl::QNodeControl(const QHostAddress &localAddress, QObject *parent)
    : QObject(parent)
    , m_localAddress(localAddress)
{
}
