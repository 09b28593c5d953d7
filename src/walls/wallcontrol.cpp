#include "walls/wallcontrol.h"

#include "log/categories.h"
#include "log/trace.h"

#include <QHostAddress>
#include <QRectF>
#include <QTimer>

namespace kora::walls {

WallControl::WallControl(link::Sender &sender, InstallationView installation, const WallTimings &timings,
                         QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_installation(std::move(installation))
    , m_timings(timings)
{
}

bool WallControl::sendCommands(const Commands &commands)
{
    if (commands.refused()) {
        KWARN(lcApi) << commands.refusal;
        return false;
    }
    for (const Outgoing &o : commands.items) {
        KTRACE(lcApi) << o.data;
        m_sender.sendTo(o.to, o.data);
    }
    return true;
}

void WallControl::setWindows(const QString &wallId, const QString &cmd)
{
    sendCommands(walls::setWindows(installation(), wallId, cmd));
}

namespace {
// "::ffff:10.0.0.20" and "10.0.0.20" are the same decoder.
QString plainAddress(const QString &address)
{
    bool v4 = false;
    const quint32 a = QHostAddress(address).toIPv4Address(&v4);
    return v4 ? QHostAddress(a).toString() : address;
}
} // namespace

void WallControl::getWindows(const QString &wallId)
{
    const Installation in = installation();
    const Commands c = walls::getWindows(in, wallId);
    if (!sendCommands(c))
        return;
    // Only a query to one of the wall's decoders says something about that decoder; the
    // controller and the group answer for others.
    if (in.serverIp.isEmpty() && wallId != kAllWalls && c.items.size() == 1 && c.items.first().to.size() == 1)
        awaitAnswer(plainAddress(c.items.first().to.first().address.toString()), wallId);
}

void WallControl::awaitAnswer(const QString &output, const QString &wallId)
{
    if (m_asked.contains(output))
        return;
    const quint64 query = ++m_queries;
    m_asked.insert(output, {wallId, query});
    QTimer::singleShot(m_timings.answerMs, this, [this, output, query] {
        const auto it = m_asked.constFind(output);
        if (it == m_asked.constEnd() || it->second != query)
            return;
        const QString wall = it->first;
        m_asked.erase(it);
        if (m_silent.contains(output))
            return;
        KWARN(lcApi) << "wall" << qUtf8Printable(wall) << ": output" << qUtf8Printable(output) << "did not answer its window query within"
                     << m_timings.answerMs << "ms";
        m_silent.append(output);
        emit silentOutputsChanged(m_silent);
    });
}

void WallControl::heardFrom(const QString &address)
{
    if (m_asked.isEmpty() && m_silent.isEmpty())
        return;
    const QString output = plainAddress(address);
    m_asked.remove(output);
    if (!m_silent.removeOne(output))
        return;
    KINFO(lcApi) << "output" << qUtf8Printable(output) << "answers again";
    emit silentOutputsChanged(m_silent);
}

void WallControl::forgetAnswers()
{
    m_asked.clear();
    if (m_silent.isEmpty())
        return;
    m_silent.clear();
    emit silentOutputsChanged(m_silent);
}

bool WallControl::clearWall(const QString &wallId)
{
    if (!sendCommands(walls::clearWall(installation(), wallId)))
        return false;
    // A timer, not a wait: the window stays responsive while the wall applies the empty list.
    QTimer::singleShot(m_timings.wallSettleMs, Qt::PreciseTimer, this, [this, wallId] { getWindows(wallId); });
    return true;
}

void WallControl::setAudios(const QString &decoder, const QString &cmd)
{
    sendCommands(walls::setAudios(installation(), decoder, cmd));
}

void WallControl::getWindowsLater(const QString &wallId)
{
    QTimer::singleShot(m_timings.afterAckMs, this, [this, wallId] { getWindows(wallId); });
}

QList<int> WallControl::hiddenWindows(const QVariantList &pageRects)
{
    QList<QRectF> rects;
    for (const QVariant &v : pageRects) {
        if (v.userType() == QMetaType::QRectF || v.userType() == QMetaType::QRect) {
            rects.append(v.toRectF());
            continue;
        }
        const QVariantMap m = v.toMap();
        const QStringList keys{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("width"), QStringLiteral("height")};
        bool complete = !m.isEmpty();
        for (const QString &key : keys)
            complete = complete && m.contains(key);
        if (!complete) {
            KWARN(lcApi) << "not a rectangle:" << v;
            return {};
        }
        rects.append(QRectF(m.value(keys[0]).toReal(), m.value(keys[1]).toReal(), m.value(keys[2]).toReal(),
                            m.value(keys[3]).toReal()));
    }
    return walls::hiddenWindows(rects);
}

} // namespace kora::walls
