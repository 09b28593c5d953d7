// Preview datagrams (length-prefixed) come from anyone: assembly, access unit scan, recovery gate and decoder hold.
#include "datagrams.h"
#include "quietlogs.h"
#include "video/ffmpegthread.h"
#include "video/nalscan.h"
#include "video/previewassembler.h"
#include "video/previewgate.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kora::video;
    constexpr int kMaxFrame = 255 * (kMaxDatagram - kHeaderBytes);
    static FFmpegThread *decoder = [] {
        auto *d = new FFmpegThread;
        d->init();
        d->addView(QSize(64, 36));
        d->addView(QSize(32, 18)); // a 64x36 stream also converts at half, band by band
        d->addView(QSize(24, 12)); // and halves in bands below half
        return d;
    }();
    PreviewAssembler a;
    RecoveryGate gate;
    forEachDatagram(data, size, [&](const QByteArray &datagram) {
        const PreviewAssembler::Result r = a.add(datagram);
        if ((r.complete() || r.gap) && !r.stream)
            std::abort();
        if (r.frames < 0 || r.frames > 2)
            std::abort();
        for (int i = 0; i < r.frames; ++i) {
            const int n = a.frameSize(i);
            const uchar *frame = a.frameData(i);
            if (n > kMaxFrame || !frame)
                std::abort();
            for (int k = 0; k < kPacketPadding; ++k)
                if (frame[n + k] != 0)
                    std::abort();
            const AccessUnitInfo info = scanAccessUnit(frame, n, a.frameKind(i) == FrameKind::H265);
            if (info.parameterSetBytes < 0 || info.parameterSetBytes > n || info.recoveryFrames < -1
                || (info.announced.isValid() && (info.announced.width() <= 0 || info.announced.height() <= 0))
                || (info.keyframe && !info.slices))
                std::abort();
            const RecoveryGate::Step step = gate.next(info);
            if (step.show && step.feed != RecoveryGate::Feed::Whole)
                std::abort();
        }
        decoder->handleDatagram(datagram);
    });
    const QSize sps = spsPictureSize(data, int(size), size > 0 && (data[0] & 1));
    if (sps.isValid() && (sps.width() <= 0 || sps.height() <= 0))
        std::abort();
    return 0;
}
