#pragma once
// Records of the project model. The device and design loaders fill them; the controller
// object owns the lists and empties them on every new login.
#include <QByteArray>
#include <QString>
#include <QList>
#include <QStringList>

namespace kora {

struct PageRecord {
    QString name;
    QString id;
};

struct UserRecord {
    QString name;
    QString password;    // as the package stores it: compared, never deciphered
    QStringList pageIds; // the pages this user may open, in menu order (its role's)
    QString role;        // empty: no role, so no page and no group may be used
    QStringList signalGroups;
};

struct SignalRecord {
    QString name;
    QString ip; // the signal's id ("10.0.0.5-1", "10.0.0.5-IPC"), its address for the pages
    bool star = false;
    QString mainUrl;
    QString subUrl;
    QString platform;
    QString snapshotUrl; // "JpegUrl", handed to the snapshot reader
};

struct OutputRecord {
    QString address;
    QString wallId;
};

struct MultiSignalRecord {
    QString name;
    int columns = 0;
    int rows = 0;
    QStringList ids; // per cell; empty for an empty cell
    QStringList mainUrls;
    QStringList subUrls;
};

struct SignalGroupRecord {
    QString name;
    struct Member {
        int index = 0;
        int type = 0; // 0: signal list, 1: multi-signal list
    };
    QList<Member> members;
    QList<int> signalIndexes;
    QList<int> multiSignalIndexes;
};

struct RoleRecord {
    QString name;
    int level = 0;
    bool sharedLogin = false;
    bool tagging = false;
    QStringList pageList;
    QStringList signalGroupNames;
};

// A picture of an older project: its bytes from "pic.dat", its name from the configuration.
struct PictureRecord {
    QString name;
    QByteArray bytes;
};

} // namespace kora
