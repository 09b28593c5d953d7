#pragma once
// The lab sample's design and device file as the design tests read them, and inline design
// nodes in a short form.
#include "design/designbuild.h"
#include "model/devicefile.h"
#include "support/testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace designfixtures {

inline QByteArray labDesignFile() { return readFile(SAMPLE_DIR "/lab/client0_1920_1080.jui"); }

// The lab device model with two starred signals: "Studio camera 2" (1) and "Lobby camera" (10),
// and each of its groups twice.
inline const kora::DeviceModel &labModel()
{
    static const kora::DeviceModel model = [] {
        kora::DeviceModel m;
        kora::parseDeviceFile(readFile(SAMPLE_DIR "/lab/device.json"), m, nullptr);
        if (m.signalList.size() > 10) {
            m.signalList[1].star = true;
            m.signalList[10].star = true;
        }
        // Every group listed twice: a tree lists the members of the first of a name only.
        const std::vector<kora::SignalGroupRecord> groups = m.groups;
        m.groups.insert(m.groups.end(), groups.begin(), groups.end());
        return m;
    }();
    return model;
}

inline const kora::UserRecord *labUser(const QString &name)
{
    for (const kora::UserRecord &u : labModel().users) {
        if (u.name == name)
            return &u;
    }
    return nullptr;
}

inline QString targetName(kora::design::Target target)
{
    static const char *const names[] = {"Page",    "Rect",     "Screen",   "Button",   "Text",   "Date",
                                        "Preview", "Slider",   "TreeView", "InputBox", "Docker", "Monitor",
                                        "Web",     "Stack",    "LoginButton", "LoginInputBox"};
    return QString::fromLatin1(names[int(target)]);
}

// "Target:name" per announcement: pages by their id, widgets by their objectName.
inline QStringList sequence(const QList<kora::design::Announcement> &announcements)
{
    QStringList out;
    for (const kora::design::Announcement &a : announcements)
        out.append(targetName(a.target) + ":"
                   + a.map.value(a.target == kora::design::Target::Page ? "pageId" : "objectName").toString());
    return out;
}

// {"class", "p": [[name, value], ...], "item": [nodes]} -> a design node.
inline QJsonObject designNode(const QJsonObject &shorthand)
{
    QJsonObject node{{"class", shorthand.value("class")}};
    QJsonArray properties;
    for (const QJsonValue &pair : shorthand.value("p").toArray())
        properties.append(QJsonObject{{"name", pair.toArray().at(0)}, {"value", pair.toArray().at(1)}});
    node.insert("property", properties);
    QJsonArray items;
    for (const QJsonValue &item : shorthand.value("item").toArray())
        items.append(designNode(item.toObject()));
    node.insert("item", items);
    return node;
}

} // namespace designfixtures
