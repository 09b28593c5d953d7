#pragma once
// What a live preview is waiting for, and its figures, worked out once a second from the
// counters its decoder already keeps (FFmpegThread::counters()) and the item's own count of
// pictures shown: nothing is counted twice. Pure logic; the items sample, this decides.
#include <QtGlobal>

namespace kora::video {

// One look at a view's counters.
struct PreviewSample {
    qint64 atMs = 0;          // monotonic clock
    quint64 datagrams = 0;    // of the stream
    quint64 decoded = 0;
    quint64 discarded = 0;    // not decoded while waiting for a clean picture
    quint64 dropped = 0;
    quint64 gaps = 0;         // lost frames and decode errors
    quint64 decodeNs = 0;     // summed time from a frame's last datagram to its pictures
    int shown = 0;            // pictures the view itself put on screen
};

enum class PreviewWait {
    None,     // pictures show (or the view just joined and has not been sampled)
    Stream,   // nothing received since the join
    Keyframe, // datagrams arrive, but no clean picture yet, or none since a gap
    Silent,   // datagrams came, then stopped
};

// Per-second figures of the last interval.
struct PreviewRates {
    double received = 0; // frames whole off the network (decoded or held back), per second
    double shown = 0;
    double dropped = 0;  // replaced before a view took them
    double decodeMs = 0; // mean over the interval's decoded frames; 0 when none
    quint64 lost = 0;    // frames lost since the join
};

class PreviewHealth
{
public:
    static constexpr int kSilentAfterMs = 2000; // datagrams missing this long: "no stream"

    void start(const PreviewSample &s);
    void next(const PreviewSample &s);

    PreviewWait wait() const { return m_wait; }
    // Whole seconds since the last datagram was seen (Silent only, else -1).
    int silentSeconds() const { return m_silentSeconds; }
    const PreviewRates &rates() const { return m_rates; }

private:
    PreviewSample m_first; // at the join
    PreviewSample m_last;
    qint64 m_lastDatagramMs = -1; // -1: none since the join
    bool m_pictures = false;      // a picture shown since the join
    PreviewWait m_wait = PreviewWait::None;
    int m_silentSeconds = -1;
    PreviewRates m_rates;
};

} // namespace kora::video
