#pragma once
// The wall senders with their state: what the composers of walls/wallcommands.h return goes
// out through a link::Sender, each command logged first (or the one reason for sending
// nothing), and the follow-ups that wait for a wall run on the object's own timers.
//
// It reads the installation (settings and model) through a function the owner gives, each
// time a command is composed, so it never holds a stale copy. Every operation names the wall
// it acts on; which wall the operator selected is the owner's business.
//
// Threads: main thread only (the timers and the sender belong to it).
#include "link/sender.h"
#include "walls/wallcommands.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <functional>

namespace kora::walls {

struct WallTimings {
    // A wall needs this long to apply a new window list before it answers with it.
    int wallSettleMs = 30;
    // After an acknowledgement the wall needs this long before its window list is asked for.
    int afterAckMs = 30;
    // A decoder asked for its wall's windows that has not answered within this is marked.
    int answerMs = 2000;
};

class WallControl : public QObject
{
    Q_OBJECT
public:
    using InstallationView = std::function<Installation()>;

    WallControl(link::Sender &sender, InstallationView installation, const WallTimings &timings = {},
                QObject *parent = nullptr);

    // The installation as it is now.
    Installation installation() const { return m_installation(); }
    // The one way out: logs and sends each command in order, or logs the refusal and sends
    // nothing. False when refused. The end-to-end run counts commands by this function's name
    // in the log.
    bool sendCommands(const Commands &commands);

    void setWindows(const QString &wallId, const QString &cmd);
    void getWindows(const QString &wallId);
    // Empties and silences the wall; once it has applied that, its window list is asked for,
    // so that the page redraws it. False when nothing was sent.
    bool clearWall(const QString &wallId);
    void setAudios(const QString &decoder, const QString &cmd);
    // The wall acknowledged a change: its window list is asked for after a moment.
    void getWindowsLater(const QString &wallId);

    // Positions of the windows the others hide, from the page's list (top-most first): each
    // a Qt.rect() or a plain {x, y, width, height} object. Empty, with a log line, when one
    // entry is no rectangle.
    static QList<int> hiddenWindows(const QVariantList &pageRects);

    // Anything heard from `address` (a reply on the command socket): it answers.
    void heardFrom(const QString &address);
    // The decoders whose window query went unanswered, until they are heard from again.
    QStringList silentOutputs() const { return m_silent; }
    void forgetAnswers(); // a new login

signals:
    void silentOutputsChanged(const QStringList &outputs);

private:
    void awaitAnswer(const QString &output, const QString &wallId);

    link::Sender &m_sender;
    const InstallationView m_installation;
    const WallTimings m_timings;
    // Window queries sent straight to a decoder and not answered yet: output -> its wall and
    // the query's number (a later query keeps the first one's deadline).
    QHash<QString, QPair<QString, quint64>> m_asked;
    quint64 m_queries = 0;
    QStringList m_silent;
};

} // namespace kora::walls
