#pragma once
// The operator pages of a design file ("client0_W_H.jui"): the walk over its pages, the widget
// dispatcher, the login page of the cached design and the choice among cached design files.
// Everything here is a pure function of its input: the controller object turns the
// announcements into its page-building signals in order (and pauses after each wall), starts
// the listeners and applies the visibility sets.
#include "model/devicefile.h"
#include "model/records.h"

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kora::design {

// Groups inside groups deeper than this are not walked: no real design comes near it, and
// the file arrives from the network.
constexpr int kMaxGroupDepth = 32;

// The page id under which the login page's own items are announced.
inline const QString kLoginPageId = QStringLiteral("%LoginWidget%");

// Which page-building signal carries an announcement.
// Page: callQmlCreateVX2Page(map); LoginButton / LoginInputBox: callQmlSetLoginVX2Button /
// callQmlSetLoginVX2InputBox(map); every other target: callQmlCreateVX2<Target>(pageId, map)
// (Preview for a signal list, TreeView for a tree, Screen for a wall).
enum class Target { Page, Rect, Screen, Button, Text, Date, Preview, Slider, TreeView, InputBox,
                    Docker, Monitor, Web, Stack, LoginButton, LoginInputBox };

struct Announcement {
    Target target = Target::Page;
    QString pageId;
    QVariantMap map;
};

// One window of a dock layout, in wall pixels. chn: 1 main or sub stream by size, 2 main,
// 3 sub, 0 left out while the layout is in use. audio: the decoder that plays its sound.
struct DockWindow {
    QRect rect;
    int chn = 0;
    QString audio;
};

struct DockPreset {
    QString name;
    QList<DockWindow> windows;
};

// A saved list of scenes that a wall steps through, `time` seconds apart. The id is the name
// it was created with and stays when the group is renamed.
struct CycleGroup {
    QString name;
    QString hotkey;
    int time = 0;
    QString id;
    QStringList sceneIds;
    QStringList sceneNames; // parallel to sceneIds
};

struct WallRecord {
    QString id;            // "panelID"
    QString pageId;        // the page the wall is drawn on
    int freeLayout = 0;    // 1: free layout offered
    int fullScreen = 0;    // 1: full-screen layout offered
    QSize virtualResolution;
    QStringList decoderAddresses; // by cell index (column + row * columns); a hole is an empty text
    QList<QRect> nodeRects;       // the cells' wall rectangles, in design order
    QList<QRect> cellRects;       // the same by cell index, as decoderAddresses; a hole is a null rectangle
    QList<DockPreset> docks;      // every preset but "audio_normal"
    QList<CycleGroup> cycleGroups;
    // What the pages ask of the wall: "name" (its caption), "id", "mode", "size" (virtual
    // resolution), "splitSize" (columns, rows), "globalPos" (the drawn screen's rectangle).
    QVariantMap description;
};

// What an audio level listener of a data docker (type 2) needs.
struct ListenerSettings {
    QString name; // the docker's objectName
    QVariantMap send;
    QVariantMap recv;
};

// What the tree view builder needs from the device model and the logged-in user.
struct Catalogue {
    const kora::DeviceModel *model = nullptr;
    const kora::UserRecord *user = nullptr;
};

// A stacked widget group: its pages, each the object names shown together.
struct StackRecord {
    QString name; // the stack's objectName
    QList<QJsonArray> pages;
};

struct DesignBuild {
    QList<Announcement> announcements; // in emission order
    QList<kora::PageRecord> pages;     // identifier = page "uuid", empty name
    QList<WallRecord> walls;
    QList<QList<QJsonArray>> visibilitySets; // first array shown, the others hidden
    QList<StackRecord> stacks;
    QList<ListenerSettings> listeners;
    bool parsed = false; // false: the file did not parse, nothing built
};

// The pages of a design file from the second page on (the first is the login page).
DesignBuild buildDesign(const QByteArray &designJson, const Catalogue &catalogue);

// Builds every widget node of `items` in order onto page `pageId`; a "Group" is walked again
// with depth + 1. Classes without a builder are skipped.
void dispatchWidgets(const QJsonArray &items, const QString &pageId, const Catalogue &catalogue,
                     DesignBuild &out, int depth = 0);

// The login page (the page whose "label" is "LoginPage") of a cached design: the look for
// callQmlSetLogin, the design size from "resolution", and its items announced under the page
// id kLoginPageId (buttons and input boxes of the login widget as LoginButton / LoginInputBox).
struct LoginPage {
    bool found = false;
    QVariantMap look;
    QSize designSize;
    DesignBuild items;
};
LoginPage buildLoginPage(const QByteArray &designJson);

// The design file for the screen among cached names "client*_W_H.jui": the one whose W/H is
// closest to `screenAspect`, the first of equally close ones. -1 when no name is usable.
int chooseJuiFile(const QStringList &names, double screenAspect);

// A signal group may be used when the user's groups name it exactly; without a user, none.
bool checkSignalPermission(const kora::UserRecord *user, const QString &groupName);

} // namespace kora::design
