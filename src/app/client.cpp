#include "app/client.h"

#include "download/udpthread.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QNetworkInterface>
#include <QScreen>

namespace kora::app {

namespace {
float primaryAspect()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize();
    return size.height() > 0 ? float(size.width()) / float(size.height()) : 0.0f;
}
} // namespace

Edge::Edge(const QString &root)
    : store(root)
    , discovery(QString::fromLatin1(ImServerApi::kVersion))
    , receiver(new UDPThread)
    , screenAspect(primaryAspect())
{
    sockets.open();
    receiverThread.setObjectName(QStringLiteral("download"));
    receiver->moveToThread(&receiverThread);
    QObject::connect(&receiverThread, &QThread::finished, receiver, &QObject::deleteLater);
    receiverThread.start(QThread::InheritPriority);
    QMetaObject::invokeMethod(receiver, &UDPThread::start, Qt::QueuedConnection);
    discovery.start();

    const QList<QHostAddress> addresses = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : addresses)
        KTRACE(lcLink) << "local address" << address.toString();
    store.load();
    // A stored address of a network this machine has left would make every login fail.
    const QString saved = store.values.localIp;
    store.values.localIp = link::keptLocalIp(saved, addresses);
    if (!saved.isEmpty() && store.values.localIp != saved)
        KWARN(lcLink) << "the stored local address" << saved << "is not this machine's; using" << store.values.localIp;
}

Edge::~Edge()
{
    discovery.shutdown();
    receiverThread.quit();
    receiverThread.wait();
}

Client::Client(const QString &root)
    : Edge(root)
    , ImServerApi(sockets, store, [] { return QDateTime::currentSecsSinceEpoch(); }, screenAspect)
{
    using login::Session;
    connect(&sockets, &link::Link::commandsReceived, this, &ImServerApi::handleReplies);
    connect(&sockets, &link::Link::scanReplyReceived, &session(), &Session::scanReply);
    connect(&sockets, &link::Link::hostMessageReceived, this, &ImServerApi::analyzHostMsg);
    connect(&sockets, &link::Link::eventReceived, this, &ImServerApi::handleEvent);
    connect(&sockets, &link::Link::tcpDownChanged, this, &ImServerApi::setTcpDown);
    connect(&session(), &Session::rebind, &sockets, &link::Link::bindTo);
    // Receivers answer an upload to the port it came from: the command socket's, which a
    // new bind replaces (this runs after the bind above).
    const auto uploadFromCommands = [this] { uploads().sendFrom(sockets.commandDescriptor()); };
    connect(&session(), &Session::rebind, this, uploadFromCommands);
    uploadFromCommands();
    connect(&session(), &Session::announce, &discovery, &discovery::Discovery::notify);
    connect(receiver, &UDPThread::recvData, &session(), &Session::fileArrived, Qt::QueuedConnection);
    connect(receiver, &UDPThread::recvStep, &session(), &Session::fragments, Qt::QueuedConnection);
    // The receiver's address is guarded: it is set from here, before each request.
    UDPThread *r = receiver;
    connect(&session(), &Session::expecting, this, [r](const QHostAddress &host, bool newFile) { r->expectFrom(host, newFile); });
}

} // namespace kora::app
