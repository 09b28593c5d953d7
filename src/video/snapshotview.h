#pragma once
// A signal's snapshot tile for the pages: SnapshotView { ip: "192.168.6.112-0" }.
// SnapshotBoard keeps the tiles on screen: on every tick of its 50 ms timer it asks the
// preview records for each signal a visible tile shows (which keeps that signal's reader
// delivering, and tells it the largest tile's size, the size worth decoding to) and hands a
// picture to the tiles only when a new one was stored. The placeholder shows while a signal
// has no picture or delivered nothing for three seconds. GUI thread.
#include "video/previewtable.h"
#include "video/videoframeitem.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVector>
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

private:
    SnapshotBoard();

    struct Signal {
        QVector<SnapshotView *> views;
        quint64 version = ~quint64(0); // of the picture the views show; none yet
    };
    std::shared_ptr<kora::video::PreviewTable> m_table;
    QImage m_placeholder;
    QHash<QString, Signal> m_views; // by signal id
    QTimer m_timer;
};

class SnapshotView : public VideoFrameItem
{
    Q_OBJECT
    Q_PROPERTY(QString ip READ ip WRITE setIp NOTIFY ipChanged)
public:
    explicit SnapshotView(QQuickItem *parent = nullptr);
    ~SnapshotView() override;

    QString ip() const { return m_ip; }
    void setIp(const QString &ip);
    // The board's picture for the tile (GUI thread).
    void present(const QImage &picture) { showFrame(picture); }

signals:
    void ipChanged();

protected:
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void follow(); // on the board while visible with a signal

    QString m_ip;
    bool m_onBoard = false;
};
