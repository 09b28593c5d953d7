// GStreamer's headers first: GLib names a struct member "signals", which Qt defines away.
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include "media/rtspcamera.h"
#include "media/pattern.h"

namespace lab {
namespace {
// What a mount's pipelines need to find their loop.
struct Mount {
    RtspCamera *camera;
    int stream;
};
Mount g_mounts[2]; // one camera per lab process

// Each client's pipeline starts at the loop's first frame (a keyframe) with its own clock.
struct Feed {
    Mount *mount;
    quint64 count = 0;
};

void needData(GstElement *appsrc, guint, gpointer data)
{
    auto *feed = static_cast<Feed *>(data);
    const std::shared_ptr<const EncodedLoop> loop = feed->mount->camera->loop(feed->mount->stream);
    if (!loop) {
        gst_app_src_end_of_stream(GST_APP_SRC(appsrc));
        return;
    }
    const QByteArray &frame = loop->frames.at(int(feed->count % quint64(loop->frames.size())));
    GstBuffer *buffer = gst_buffer_new_memdup(frame.constData(), gsize(frame.size()));
    const GstClockTime duration = gst_util_uint64_scale_int(1, GST_SECOND, loop->format.fps);
    GST_BUFFER_PTS(buffer) = feed->count * duration;
    GST_BUFFER_DURATION(buffer) = duration;
    ++feed->count;
    gst_app_src_push_buffer(GST_APP_SRC(appsrc), buffer); // takes the buffer
}

void mediaConfigure(GstRTSPMediaFactory *, GstRTSPMedia *media, gpointer data)
{
    auto *mount = static_cast<Mount *>(data);
    GstElement *element = gst_rtsp_media_get_element(media);
    GstElement *appsrc = gst_bin_get_by_name_recurse_up(GST_BIN(element), "src");
    const std::shared_ptr<const EncodedLoop> loop = mount->camera->loop(mount->stream);
    if (appsrc && loop) {
        GstCaps *caps = gst_caps_new_simple("video/x-h264", "stream-format", G_TYPE_STRING, "byte-stream", "alignment",
                                            G_TYPE_STRING, "au", "width", G_TYPE_INT, loop->format.size.width(), "height",
                                            G_TYPE_INT, loop->format.size.height(), "framerate", GST_TYPE_FRACTION,
                                            loop->format.fps, 1, nullptr);
        g_object_set(appsrc, "caps", caps, "format", GST_FORMAT_TIME, nullptr);
        gst_caps_unref(caps);
        auto *feed = new Feed{mount};
        g_object_set_data_full(G_OBJECT(media), "kora-feed", feed, [](gpointer f) { delete static_cast<Feed *>(f); });
        g_signal_connect(appsrc, "need-data", G_CALLBACK(needData), feed);
    }
    if (appsrc)
        gst_object_unref(appsrc);
    gst_object_unref(element);
}

void clientClosed(GstRTSPClient *client, gpointer data)
{
    const char *ip = static_cast<const char *>(g_object_get_data(G_OBJECT(client), "kora-ip"));
    emit static_cast<RtspCamera *>(data)->journalEvent(QStringLiteral("rtsp client closed %1").arg(QString::fromLatin1(ip ? ip : "?")));
}

void clientConnected(GstRTSPServer *, GstRTSPClient *client, gpointer data)
{
    GstRTSPConnection *connection = gst_rtsp_client_get_connection(client);
    const char *ip = connection ? gst_rtsp_connection_get_ip(connection) : nullptr;
    g_object_set_data_full(G_OBJECT(client), "kora-ip", g_strdup(ip ? ip : "?"), g_free);
    emit static_cast<RtspCamera *>(data)->journalEvent(QStringLiteral("rtsp client connected %1").arg(QString::fromLatin1(ip ? ip : "?")));
    g_signal_connect(client, "closed", G_CALLBACK(clientClosed), data);
}

GstRTSPFilterResult removeClient(GstRTSPServer *, GstRTSPClient *, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}

GstRTSPFilterResult removeSession(GstRTSPSessionPool *, GstRTSPSession *, gpointer)
{
    return GST_RTSP_FILTER_REMOVE;
}
} // namespace

RtspCamera::RtspCamera(const LabConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_context(g_main_context_new())
    , m_mainLoop(g_main_loop_new(m_context, FALSE))
{
}

RtspCamera::~RtspCamera()
{
    if (m_thread) {
        // Queued in the server's context: it quits even if its loop has not started yet.
        g_main_context_invoke(m_context, [](gpointer loop) {
            g_main_loop_quit(static_cast<GMainLoop *>(loop));
            return gboolean(G_SOURCE_REMOVE);
        }, m_mainLoop);
        m_thread->wait();
        delete m_thread;
    }
    g_main_loop_unref(m_mainLoop);
    g_main_context_unref(m_context);
}

void RtspCamera::start()
{
    if (m_thread)
        return;
    m_thread = QThread::create([this] { run(); });
    m_thread->setObjectName(QStringLiteral("lab-rtsp"));
    m_thread->start();
}

void RtspCamera::dropClients()
{
    g_main_context_invoke(m_context, [](gpointer data) {
        auto *camera = static_cast<RtspCamera *>(data);
        if (!camera->m_server)
            return gboolean(G_SOURCE_REMOVE);
        gst_rtsp_server_client_filter(camera->m_server, removeClient, nullptr);
        GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(camera->m_server);
        gst_rtsp_session_pool_filter(pool, removeSession, nullptr);
        g_object_unref(pool);
        emit camera->journalEvent(QStringLiteral("rtsp clients dropped"));
        return gboolean(G_SOURCE_REMOVE);
    }, this);
}

std::shared_ptr<const EncodedLoop> RtspCamera::loop(int stream)
{
    std::lock_guard<std::mutex> lock(m_loopsMutex);
    if (!m_loops[stream] && !m_loopFailed[stream]) {
        LoopFormat f;
        f.codec = Codec::H264;
        f.size = stream == 0 ? m_config.cameraMainSize : m_config.subSize;
        f.fps = stream == 0 ? m_config.mainFps : m_config.subFps;
        f.frames = f.fps * m_config.loopSeconds;
        f.keyInterval = f.fps;
        const int host = m_config.camera;
        QString error;
        m_loops[stream] = encodeLoop(f, [host, &f](int n) { return testPattern(host, f.size, n, f.fps); }, &error);
        m_loopFailed[stream] = !m_loops[stream];
        if (m_loopFailed[stream])
            emit journalEvent(QStringLiteral("rtsp stream%1 cannot be encoded: %2").arg(stream + 1).arg(error));
    }
    return m_loops[stream];
}

void RtspCamera::run()
{
    GError *error = nullptr;
    if (!gst_init_check(nullptr, nullptr, &error)) {
        emit journalEvent(QStringLiteral("rtsp camera off: GStreamer does not start: %1").arg(QString::fromUtf8(error ? error->message : "?")));
        g_clear_error(&error);
        return;
    }
    for (const char *name : {"appsrc", "rtph264pay", "rtpbin", "udpsink"}) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory) {
            emit journalEvent(QStringLiteral("rtsp camera off: GStreamer has no %1 (scripts/deps installs the plugins)").arg(QLatin1String(name)));
            return;
        }
        gst_object_unref(factory);
    }
    g_main_context_push_thread_default(m_context);
    m_server = gst_rtsp_server_new();
    const QByteArray address = m_config.address(m_config.camera).toString().toLatin1();
    const QByteArray port = QByteArray::number(m_config.rtspPort);
    gst_rtsp_server_set_address(m_server, address.constData());
    gst_rtsp_server_set_service(m_server, port.constData());
    GstRTSPMountPoints *mounts = gst_rtsp_server_get_mount_points(m_server);
    for (int stream = 0; stream < 2; ++stream) {
        g_mounts[stream] = Mount{this, stream};
        GstRTSPMediaFactory *factory = gst_rtsp_media_factory_new();
        // The loop carries its parameter sets before every IDR already; the payloader adding
        // its own before each IDR slice would make a client's parser cut frames in two.
        gst_rtsp_media_factory_set_launch(factory, "( appsrc name=src ! rtph264pay name=pay0 pt=96 config-interval=0 )");
        g_signal_connect(factory, "media-configure", G_CALLBACK(mediaConfigure), &g_mounts[stream]);
        gst_rtsp_mount_points_add_factory(mounts, stream == 0 ? "/stream1" : "/stream2", factory); // takes the factory
    }
    g_object_unref(mounts);
    g_signal_connect(m_server, "client-connected", G_CALLBACK(clientConnected), this);

    if (gst_rtsp_server_attach(m_server, m_context) == 0) {
        emit journalEvent(QStringLiteral("rtsp camera off: cannot listen on %1:%2").arg(QString::fromLatin1(address), QString::fromLatin1(port)));
    } else {
        // Sessions of clients that vanished without a teardown time out.
        GSource *cleanup = g_timeout_source_new_seconds(2);
        g_source_set_callback(cleanup, [](gpointer server) {
            GstRTSPSessionPool *pool = gst_rtsp_server_get_session_pool(static_cast<GstRTSPServer *>(server));
            gst_rtsp_session_pool_cleanup(pool);
            g_object_unref(pool);
            return gboolean(G_SOURCE_CONTINUE);
        }, m_server, nullptr);
        g_source_attach(cleanup, m_context);
        emit journalEvent(QStringLiteral("rtsp camera on rtsp://%1:%2/stream1 and /stream2").arg(QString::fromLatin1(address), QString::fromLatin1(port)));
        g_main_loop_run(m_mainLoop);
        g_source_destroy(cleanup);
        g_source_unref(cleanup);
    }
    GstRTSPServer *server = m_server;
    m_server = nullptr;
    g_object_unref(server);
    g_main_context_pop_thread_default(m_context);
}

} // namespace lab
