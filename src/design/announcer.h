#pragma once
// The walk that hands a built design to the pages: every announcement in order
// (`allAnnounced`), then the states of each visibility set, then `finished`. After a wall the rest waits
// kWallPauseMs on a timer instead of a nested event loop, so the page host creates the wall
// before the next widgets arrive and nothing else runs inside the walk.
// Everything belongs to the thread that owns the object (the main thread).
#include "design/designbuild.h"

#include <QJsonArray>
#include <QList>
#include <QObject>

namespace kora::design {

class Announcer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kWallPauseMs = 45;

    explicit Announcer(QObject *parent = nullptr);

    // Starts a walk; one still in progress ends without finishing.
    void start(QList<Announcement> announcements, QList<QList<QJsonArray>> visibilitySets);
    // Ends a walk in progress without finishing (a new login, the return to the login page).
    void stop();
    bool running() const { return m_running; }

signals:
    void announce(const kora::design::Announcement &announcement);
    void allAnnounced();
    // The widgets of one state of a visibility set: shown for the set's first state, hidden
    // for the others.
    void visibility(const QJsonArray &names, bool visible);
    void finished();

private:
    void next(int generation);

    QList<Announcement> m_announcements;
    int m_next = 0;
    QList<QList<QJsonArray>> m_visibilitySets;
    int m_generation = 0; // a walk's timer sees a later walk began
    bool m_running = false;
};

} // namespace kora::design
