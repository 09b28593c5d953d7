#pragma once
// The lab's IP camera: an RTSP server (GStreamer's gst-rtsp-server) on the camera's own
// address, serving /stream1 (main) and /stream2 (sub) as H.264 over RTP, each client from
// the first frame of the camera's encoded loop, replayed in real time.
//
// Threads: the object is made, started and ended in the main thread; the server runs a
// GMainLoop of its own in the thread "lab-rtsp", and each client's pipeline feeds itself in
// GStreamer's streaming threads. `journalEvent` is emitted from those threads; connect it queued.
#include "labconfig.h"
#include "media/codec.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <memory>
#include <mutex>

typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _GstRTSPServer GstRTSPServer;

namespace lab {

class RtspCamera : public QObject
{
    Q_OBJECT
public:
    explicit RtspCamera(const LabConfig &config, QObject *parent = nullptr);
    ~RtspCamera() override; // ends the server's loop and waits for its thread

    void start();
    // Closes every client connection and session; the server keeps accepting new ones.
    // Safe from any thread.
    void dropClients();

    // The loop of /stream1 (0) or /stream2 (1), encoded on first use; null when it cannot be.
    // Called from GStreamer's streaming threads.
    std::shared_ptr<const EncodedLoop> loop(int stream);

signals:
    void journalEvent(const QString &note);

private:
    void run(); // the "lab-rtsp" thread

    const LabConfig m_config;
    QThread *m_thread = nullptr;
    GMainContext *m_context = nullptr; // made here, iterated only by the server thread
    GMainLoop *m_mainLoop = nullptr;   // runs in the server thread; quit through m_context
    GstRTSPServer *m_server = nullptr; // the server thread's
    std::mutex m_loopsMutex;                        // guards m_loops
    std::shared_ptr<const EncodedLoop> m_loops[2];
    bool m_loopFailed[2] = {false, false};          // guarded by m_loopsMutex
};

} // namespace lab
