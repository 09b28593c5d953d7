#include "design/designbuild.h"

#include "design/widgetbuilders.h"
#include "log/categories.h"
#include "log/trace.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>

namespace kora::design {

namespace {

void announce(DesignBuild &out, Target target, const QString &pageId, const QVariantMap &map)
{
    out.announcements.append({target, pageId, map});
}

void addVisibilitySet(DesignBuild &out, const QList<QJsonArray> &set)
{
    if (!set.isEmpty())
        out.visibilitySets.append(set);
}

const QJsonArray itemsOf(const QJsonObject &node)
{
    return node.value(QLatin1String("item")).toArray();
}

QString classOf(const QJsonValue &node)
{
    return node.toObject().value(QLatin1String("class")).toString();
}

using Handler = void (*)(const QJsonObject &node, const QString &pageId, const Catalogue &catalogue, DesignBuild &out,
                         int depth);

// Every widget class a page may hold; any other class ("FormWidget", "TableCell", ...) is
// read by the builder of the widget it belongs to.
const struct {
    const char *widgetClass;
    Handler handle;
} kDispatch[] = {
    {"RectWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         announce(out, Target::Rect, pageId, buildRect(node));
     }},
    {"VideoWallWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         buildVideoWall(node, pageId, out);
     }},
    {"ButtonWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         announce(out, Target::Button, pageId, buildButton(node));
     }},
    {"TextWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         announce(out, Target::Text, pageId, buildText(node));
     }},
    {"DateWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         announce(out, Target::Date, pageId, buildDate(node));
     }},
    {"SignalListWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         QList<QJsonArray> set;
         announce(out, Target::Preview, pageId, buildSignalList(node, &set));
         addVisibilitySet(out, set);
     }},
    {"SliderWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         announce(out, Target::Slider, pageId, buildSlider(node));
     }},
    {"TreeWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &catalogue, DesignBuild &out, int) {
         announce(out, Target::TreeView, pageId, buildTreeView(node, catalogue));
     }},
    {"InputBoxWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         announce(out, Target::InputBox, pageId, buildInputBox(node));
     }},
    {"DataDockerWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         const DataDockerBuild docker = buildDataDocker(node);
         announce(out, docker.target, pageId, docker.map);
         if (docker.listener)
             out.listeners.append(*docker.listener);
         addVisibilitySet(out, docker.visibilitySet);
     }},
    {"WebBrowserWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         announce(out, Target::Web, pageId, buildWeb(node));
     }},
    {"StackWidget",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &, DesignBuild &out, int) {
         QList<QJsonArray> set;
         const QVariantMap map = buildStack(node, &set);
         announce(out, Target::Stack, pageId, map);
         addVisibilitySet(out, set);
         out.stacks.append({map.value(QStringLiteral("objectName")).toString(), set});
     }},
    {"Group",
     [](const QJsonObject &node, const QString &pageId, const Catalogue &catalogue, DesignBuild &out, int depth) {
         dispatchWidgets(itemsOf(node), pageId, catalogue, out, depth + 1);
     }},
};

// The login page's items, on the page itself and inside its "LoginWidget".
struct LoginItem {
    const char *widgetClass;
    Target target;
    QVariantMap (*build)(const QJsonObject &);
};
const LoginItem kLoginPageItems[] = {
    {"RectWidget", Target::Rect, buildRect},
    {"TextWidget", Target::Text, buildText},
    {"ButtonWidget", Target::Button, buildButton},
};
const LoginItem kLoginWidgetItems[] = {
    {"RectWidget", Target::Rect, buildRect},
    {"TextWidget", Target::Text, buildText},
    {"ButtonWidget", Target::LoginButton, buildButton},
    {"InputBoxWidget", Target::LoginInputBox, buildInputBox},
};

template <size_t N>
const LoginItem *findLoginItem(const QString &widgetClass, const LoginItem (&table)[N])
{
    for (const LoginItem &item : table) {
        if (widgetClass == QLatin1String(item.widgetClass))
            return &item;
    }
    return nullptr;
}

void buildLoginWidget(const QJsonObject &loginWidget, DesignBuild &out)
{
    // Without a server device in the installation the operator has no server address to type.
    const bool hasServerDevice = propertyValue(loginWidget, QStringLiteral("hasServerDevice")).toBool();
    for (const QJsonValue &child : itemsOf(loginWidget)) {
        const LoginItem *item = findLoginItem(classOf(child), kLoginWidgetItems);
        if (!item)
            continue;
        QVariantMap map = item->build(child.toObject());
        if (item->target == Target::LoginInputBox
            && map.value(QStringLiteral("label")).toString() == QLatin1String("ServerIPInputBox"))
            map.insert(QStringLiteral("enableVisible"), hasServerDevice);
        announce(out, item->target, kLoginPageId, map);
    }
}

void dispatchLoginItems(const QJsonArray &items, DesignBuild &out, int depth)
{
    if (depth >= kMaxGroupDepth) {
        KWARN(lcApi) << "login page: groups nested deeper than" << kMaxGroupDepth << "are skipped";
        return;
    }
    for (const QJsonValue &child : items) {
        const QString widgetClass = classOf(child);
        if (widgetClass == QLatin1String("LoginWidget"))
            buildLoginWidget(child.toObject(), out);
        else if (widgetClass == QLatin1String("Group"))
            dispatchLoginItems(itemsOf(child.toObject()), out, depth + 1);
        else if (const LoginItem *item = findLoginItem(widgetClass, kLoginPageItems))
            announce(out, item->target, kLoginPageId, item->build(child.toObject()));
    }
}

// The design's top object; false (with one log line) when the data is no JSON object.
bool parseDesign(const QByteArray &json, QJsonObject &design)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        KWARN(lcApi) << "design file does not parse:" << error.errorString() << "at offset" << error.offset;
        return false;
    }
    if (!document.isObject()) {
        KWARN(lcApi) << "design file is not a JSON object";
        return false;
    }
    design = document.object();
    return true;
}

const QJsonArray pageNodes(const QJsonObject &design)
{
    return design.value(QLatin1String("ui")).toObject().value(QLatin1String("item")).toArray();
}

} // namespace

void dispatchWidgets(const QJsonArray &items, const QString &pageId, const Catalogue &catalogue, DesignBuild &out,
                     int depth)
{
    if (depth >= kMaxGroupDepth) {
        KWARN(lcApi) << "page" << pageId << ": groups nested deeper than" << kMaxGroupDepth << "are skipped";
        return;
    }
    for (const QJsonValue &item : items) {
        const QJsonObject node = item.toObject();
        const QString widgetClass = node.value(QLatin1String("class")).toString();
        for (const auto &entry : kDispatch) {
            if (widgetClass == QLatin1String(entry.widgetClass)) {
                entry.handle(node, pageId, catalogue, out, depth);
                break;
            }
        }
    }
}

DesignBuild buildDesign(const QByteArray &designJson, const Catalogue &catalogue)
{
    DesignBuild out;
    QJsonObject design;
    if (!parseDesign(designJson, design))
        return out;
    out.parsed = true;

    const QJsonArray pages = pageNodes(design);
    // The first page is the login page, built from the cached design before any login.
    for (int i = 1; i < pages.size(); ++i) {
        const QJsonValue entry = pages.at(i);
        if (!entry.isObject())
            continue;
        const QJsonObject page = entry.toObject();
        const QVariantMap map = buildPageMap(page);
        const QString pageId = map.value(QStringLiteral("pageId")).toString();
        out.pages.append(kora::PageRecord{QString(), pageId});
        KTRACE(lcApi) << "page" << pageId << "isGlobalPage" << map.value(QStringLiteral("isGlobalPage")).toBool() << map;
        announce(out, Target::Page, pageId, map);
        dispatchWidgets(itemsOf(page), pageId, catalogue, out, 0);
    }
    return out;
}

LoginPage buildLoginPage(const QByteArray &designJson)
{
    LoginPage login;
    QJsonObject design;
    if (!parseDesign(designJson, design))
        return login;
    login.items.parsed = true;

    for (const QJsonValue &entry : pageNodes(design)) {
        const QJsonObject page = entry.toObject();
        if (propertyValue(page, QStringLiteral("label")).toString() != QLatin1String("LoginPage"))
            continue;
        login.found = true;
        login.look = buildLoginLook(page);
        const QJsonValue resolution = propertyValue(page, QStringLiteral("resolution"));
        if (resolution.isObject()) {
            const QJsonObject size = resolution.toObject();
            login.designSize = QSize(size.value(QLatin1String("width")).toInt(), size.value(QLatin1String("height")).toInt());
        }
        dispatchLoginItems(itemsOf(page), login.items, 0);
        break;
    }
    if (!login.found)
        KTRACE(lcApi) << "the design has no login page";
    return login;
}

bool checkSignalPermission(const kora::UserRecord *user, const QString &groupName)
{
    return user && user->signalGroups.contains(groupName);
}

int chooseJuiFile(const QStringList &names, double screenAspect)
{
    int chosen = -1;
    double best = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        if (!name.startsWith(QLatin1String("client")) || !name.endsWith(QLatin1String(".jui")))
            continue;
        // "client0_W_H.jui": W after the first "_", H between the second "_" and the next ".".
        const int first = name.indexOf(QLatin1Char('_'));
        const int second = first < 0 ? -1 : name.indexOf(QLatin1Char('_'), first + 1);
        const int dot = second < 0 ? -1 : name.indexOf(QLatin1Char('.'), second + 1);
        bool widthOk = false;
        bool heightOk = false;
        const double width = dot < 0 ? 0 : name.mid(first + 1, second - first - 1).toDouble(&widthOk);
        const double height = dot < 0 ? 0 : name.mid(second + 1, dot - second - 1).toDouble(&heightOk);
        if (!widthOk || !heightOk || !std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0) {
            KTRACE(lcApi) << "design file name without a usable size:" << name;
            continue;
        }
        const double ratio = width / height;
        const double difference = std::fabs(screenAspect - ratio);
        if (chosen < 0 || difference < best) {
            chosen = i;
            best = difference;
        }
        KTRACE(lcApi) << name << "screen aspect" << screenAspect << "best difference" << best << "ratio" << ratio;
    }
    return chosen;
}

} // namespace kora::design
