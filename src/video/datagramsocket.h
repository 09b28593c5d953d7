#pragma once
// The UDP socket of a stream reader, on the socket API itself. QUdpSocket stops announcing
// datagrams now and then under a stream's bursts (its read notification is turned off until
// a read it did not see coming), which stands a preview still for good; here readiness is
// level-triggered: while datagrams wait, readyRead() comes again on every turn of the event
// loop, and the reader takes a bounded batch each time.
//
// A multicast stream binds the group address itself (Linux hands a group's datagrams to
// every socket bound to the any-address on that port, so several groups sharing a port would
// mix) and joins it. A unicast stream binds that address when it is one of ours (the
// controller pushes to the client's own address), else the port on every address (an
// encoder sending to whoever registered). The thread that opens it owns it.
#include <QHostAddress>
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace kora::video {

class DatagramSocket : public QObject
{
    Q_OBJECT
public:
    explicit DatagramSocket(QObject *parent = nullptr);
    ~DatagramSocket() override;

    // Binds (and joins a multicast group) as above; false with the reason in `error`.
    bool open(const QHostAddress &address, quint16 port, int receiveBuffer, QString *error);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    // Multicast membership; a unicast socket is always "joined".
    bool join();
    void leave();
    bool joined() const { return m_joined; }
    // Up to `max` waiting datagrams, each handed to `take` (valid during the call only);
    // the number read.
    int read(int max, const std::function<void(const char *data, int size)> &take);
    bool send(const QByteArray &data, const QHostAddress &to, quint16 port);
    int receiveBufferSize() const;

signals:
    void readyRead();

private:
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QHostAddress m_group; // null for a unicast stream
    bool m_joined = false;
};

} // namespace kora::video
