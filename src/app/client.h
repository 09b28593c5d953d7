#pragma once
// The client on its real edge: the local files under the working folder, the sockets,
// discovery and the download receiver. The edge is built before the facade that uses it and
// destroyed after it. The executable runs one Client; tests and benchmarks that talk to the
// lab log in with one. A test without a network builds ImServerApi on a recording sender.
//
// Threads: the receiver is a worker in the thread "download", discovery's in "discovery";
// both are stopped and joined when the edge goes.
#include "controller/imserverapi.h"
#include "discovery/discovery.h"
#include "link/link.h"
#include "settings/store.h"

#include <QDir>
#include <QThread>

class UDPThread;

namespace kora::app {

struct Edge {
    // Creates the folders under `root`, reads control.ini, opens the command socket
    // (the "start" broadcast) and starts the receiver and discovery (its search).
    explicit Edge(const QString &root);
    ~Edge();
    Edge(const Edge &) = delete;
    Edge &operator=(const Edge &) = delete;

    settings::Store store;
    link::Link sockets;
    discovery::Discovery discovery;
    QThread receiverThread;
    UDPThread *receiver; // in receiverThread, deleted when it finishes
    float screenAspect;  // the primary screen's width / height; 0 without a screen
};

class Client : public Edge, public ImServerApi
{
public:
    explicit Client(const QString &root = QDir::currentPath());
};

} // namespace kora::app
