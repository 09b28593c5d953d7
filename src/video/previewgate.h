#pragma once
// When a live picture may be shown again after a loss, and how the encoder is asked to help.
#include "video/nalscan.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>

namespace kora::video {

// Follows a stream frame by frame and says what to do with each: a fresh decoder, a lost
// frame or a decode error leave the decoder's references unusable, so pictures wait until
// the decoder is clean again: at a keyframe (IDR, IRAP), or at the end of the refresh a
// recovery point announces (encoders with intra refresh send no periodic keyframes).
// Parameter sets that arrive while waiting are still fed, so the keyframe after them decodes.
class RecoveryGate
{
public:
    enum class Feed { Skip, ParameterSets, Whole };
    struct Step {
        Feed feed = Feed::Skip;
        bool show = false; // the pictures this frame gives are whole
    };
    enum class State { Clean, Waiting, Recovering };

    Step next(const AccessUnitInfo &info);
    void lost() { m_state = State::Waiting; }
    State state() const { return m_state; }

private:
    State m_state = State::Waiting;
    int m_framesLeft = 0; // Recovering: frames until the picture is whole
};

// {"Type":"System","Function":"insertIDR","Value":0}: asks an encoder for a keyframe.
QByteArray keyframeRequest();
constexpr quint16 kNodePort = 12345;
constexpr int kKeyframeRequestGapMs = 1000;

// At most one key-frame request a second per encoder, however many streams of it are
// shown. Any thread.
class KeyframeRequests
{
public:
    // 0 when a request may go now (and it is counted as sent), else the milliseconds until
    // one may; -1 for no encoder.
    qint64 allow(const QString &encoder, qint64 nowMs);

private:
    QMutex m_mutex;
    QHash<QString, qint64> m_lastMs; // guarded by m_mutex
};

} // namespace kora::video
