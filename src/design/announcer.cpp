#include "design/announcer.h"

#include <QTimer>

namespace kora::design {

Announcer::Announcer(QObject *parent)
    : QObject(parent)
{
}

void Announcer::start(QList<Announcement> announcements, QList<QList<QJsonArray>> visibilitySets)
{
    stop();
    m_announcements = std::move(announcements);
    m_visibilitySets = std::move(visibilitySets);
    m_running = true;
    next(m_generation);
}

void Announcer::stop()
{
    ++m_generation;
    m_running = false;
    m_announcements.clear();
    m_next = 0;
    m_visibilitySets.clear();
}

void Announcer::next(int generation)
{
    while (generation == m_generation && m_next < m_announcements.size()) {
        const Announcement a = m_announcements.at(m_next++);
        emit announce(a);
        if (a.target == Target::Screen && m_next < m_announcements.size()) {
            QTimer::singleShot(kWallPauseMs, this, [this, generation] { next(generation); });
            return;
        }
    }
    // A receiver may have stopped the walk (or started another) from inside announce().
    if (generation != m_generation)
        return;
    const QList<QList<QJsonArray>> sets = std::exchange(m_visibilitySets, {});
    m_announcements.clear();
    m_next = 0;
    m_running = false;
    emit allAnnounced();
    if (generation != m_generation)
        return;
    for (const QList<QJsonArray> &set : sets) {
        for (int i = 0; i < set.size(); ++i)
            emit visibility(set.at(i), i == 0);
    }
    emit finished();
}

} // namespace kora::design
