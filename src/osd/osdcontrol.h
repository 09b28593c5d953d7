#pragma once
// On-screen text of the walls: subtitles in both forms, the per-input labels and the clocks.
// The commands are composed in osd/osdcommands.h and the subtitle picture in osd/osdframe.h;
// here they are logged and sent, the picture is uploaded before it is shown, and the
// subtitle's state is handed to the owner to keep on the controller side.
//
// Threads: main thread only; the upload runs in the uploader's thread and reports back queued.
#include "link/sender.h"
#include "osd/osdcommands.h"
#include "walls/wallcommands.h"

#include <QMap>
#include <QObject>
#include <functional>

namespace kora::upload {
class UploadThread;
}

namespace kora::osd {

class OsdControl : public QObject
{
    Q_OBJECT
public:
    // The installation as it is when each command is composed (the walls' view of it).
    using InstallationFn = std::function<walls::Installation()>;

    OsdControl(link::Sender &sender, upload::UploadThread &uploads, InstallationFn installation,
               QObject *parent = nullptr);

    // Image form: the picture is rendered and uploaded to the wall group; when the upload
    // has gone out, the state is stored and the subtitle shown. A failed upload shows nothing.
    // Each of these three replaces a subtitle of the wall still waiting for its picture: a
    // close or a newer subtitle is never undone by an upload that ends after it.
    void makeImage(const QString &wallId, const QVariantMap &osdMap);
    // Stores the state and shows the subtitle (the image form uses the picture uploaded before).
    void show(Form form, const QString &wallId, const QVariantMap &osdMap);
    // Stores the state with "enable" false and closes the subtitle on the wall group.
    void close(Form form, const QString &wallId, const QVariantMap &osdMap);
    // The label an encoder draws into one input.
    void inputLabel(const QVariantMap &osdMap);
    // The wall's clocks: to the wall group in multicast mode, else to each decoder of the wall;
    // clocks the command cannot carry are refused whole.
    void setClocks(const QString &wallId, const QVariantList &clocks);
    // Asks the wall's first output for its clocks; the answer comes as a reply.
    void getClocks(const QString &wallId);

signals:
    void stateToStore(const QString &wallId, const QString &state);
    // Something the operator should know: a subtitle not shown or clocks not saved, and why.
    void notShown(const QString &why);

private:
    void present(Form form, const QString &wallId, const QVariantMap &osdMap);
    void cancelWaiting(const QString &wallId);
    // The map with its sizes bounded, and one log line when they were not.
    static QVariantMap bounded(const QString &wallId, const QVariantMap &osdMap);

    link::Sender &m_sender;
    upload::UploadThread &m_uploads;
    InstallationFn m_installation;
    // Image-form subtitles waiting for their picture's upload, by upload job.
    QMap<int, QPair<QString, QVariantMap>> m_waiting;
};

} // namespace kora::osd
