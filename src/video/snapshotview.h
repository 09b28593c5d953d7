#pragma once
// A signal's snapshot tile for the pages: SnapshotView { ip: "192.168.6.112-0" }.
// SnapshotBoard keeps the tiles on screen: on every tick of its 50 ms timer it asks the
// preview records for each signal a visible tile shows (which keeps that signal's reader
// delivering, and tells it the largest tile's size, the size worth decoding to) and hands a
// picture to the tiles only when a new one was stored. The placeholder shows while a signal
// has no picture or delivered nothing for three seconds; the tiles then say how long the
// signal has been silent (whole seconds, so their text changes once a second). GUI thread.
#include "video/previewtable.h"
#include "video/videoframeitem.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVector>
#include <functional>
#include <memory>

class SnapshotView;

class SnapshotBoard : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTickMs = 50;
    static SnapshotBoard &instance();

    // The records tiles read; null: every tile shows the placeholder.
    void setTable(std::shared_ptr<kora::video::PreviewTable> table);
    void setPlaceholder(const QImage &placeholder) { m_placeholder = placeholder; }
    const QImage &placeholder() const { return m_placeholder; }

    void show(SnapshotView *view); // the view is visible with its signal: it is asked for
    void hide(SnapshotView *view);
    // Signals asked for now, sorted (tests).
    Q_INVOKABLE QStringList wanted() const;
    void tick();
    // Milliseconds of a monotonic clock; tests step their own.
    void setClock(std::function<qint64()> now);

private:
    SnapshotBoard();

    struct Signal {
        QVector<SnapshotView *> views;
        quint64 version = ~quint64(0); // of the picture the views show; none yet
        qint64 since = 0;       // on the board since (clock ms)
        qint64 lastPicture = 0; // a new picture last came (clock ms); 0: none while on the board
    };
    void tell(const Signal &s, bool live, bool delivered, qint64 now);
    std::shared_ptr<kora::video::PreviewTable> m_table;
    QImage m_placeholder;
    QHash<QString, Signal> m_views; // by signal id
    QTimer m_timer;
    std::function<qint64()> m_now;
};

class SnapshotView : public VideoFrameItem
{
    Q_OBJECT
    Q_PROPERTY(QString ip READ ip WRITE setIp NOTIFY ipChanged)
    // Seconds the signal has shown no picture, once that is three or more; -1 while it shows
    // pictures (or has no signal).
    Q_PROPERTY(int silentSeconds READ silentSeconds NOTIFY silenceChanged)
    // The signal has had a picture since the project was loaded.
    Q_PROPERTY(bool delivered READ delivered NOTIFY silenceChanged)
public:
    explicit SnapshotView(QQuickItem *parent = nullptr);
    ~SnapshotView() override;

    QString ip() const { return m_ip; }
    void setIp(const QString &ip);
    // The board's picture for the tile (GUI thread).
    void present(const QImage &picture) { showFrame(picture); }
    int silentSeconds() const { return m_silentSeconds; }
    bool delivered() const { return m_delivered; }
    void setSilence(int seconds, bool delivered);

signals:
    void ipChanged();
    void silenceChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void follow(); // on the board while visible with a signal

    QString m_ip;
    bool m_onBoard = false;
    int m_silentSeconds = -1;
    bool m_delivered = false;
};
