#include "commands/designcommands.h"

#include "log/categories.h"
#include "log/trace.h"

namespace kora::commands {

namespace {

// Log lines quote only the start of what a button or the network sent.
QString shown(const QString &text)
{
    return text.size() <= 120 ? text : text.left(120) + QStringLiteral("...");
}

QString shown(const QStringList &parts)
{
    return shown(parts.join(QLatin1Char(';')));
}

using Action = DesignCommand::Action;

// Sizes count the parts including the name.
enum class Size { Any, AtLeast, Exactly, Even };
// When parts[1] becomes the selected wall.
enum class Select { Never, SizeIs, SizeAtLeast };
enum class Emits { Nothing, Params, AllParts };

struct Rule {
    const char *name;
    Size size;
    int sizeCount;
    Select select;
    int selectCount;
    Action action;
    Emits emits;
};

// clang-format off
constexpr Rule kRules[] = {
    {"InlineSetPanelDock",             Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineScenesPolling",            Size::Any,     0, Select::SizeIs,      3, Action::None,        Emits::Params},
    {"InlineEditPanelDock",            Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineSetPanelPredrawMode",      Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlinePublishPanelPredraw",      Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineEditSubTitle",             Size::AtLeast, 2, Select::SizeAtLeast, 2, Action::GetStatus,   Emits::Params},
    {"InlineEditSubTitle2",            Size::AtLeast, 2, Select::SizeAtLeast, 2, Action::GetStatus,   Emits::Params},
    {"InlineShowSubTitle",             Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineRefreshPanel",             Size::AtLeast, 2, Select::SizeAtLeast, 2, Action::GetWindows,  Emits::Nothing},
    {"InlineClearPanel",               Size::AtLeast, 2, Select::SizeAtLeast, 2, Action::ClearWall,   Emits::Params},
    {"InlineShowPanelWindowDem",       Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineSetLayerVisible",          Size::Even,    0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineSavePanelScene",           Size::Any,     0, Select::SizeIs,      2, Action::None,        Emits::Params},
    {"InlineClearPanelScenes",         Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineDeletePanelScene",         Size::Any,     0, Select::SizeIs,      3, Action::None,        Emits::Params},
    {"InlineEditPanelScene",           Size::Any,     0, Select::SizeIs,      3, Action::None,        Emits::Params},
    {"InlineEditPanelScenePolling",    Size::Any,     0, Select::SizeAtLeast, 2, Action::None,        Emits::Params},
    {"InlineSwitchPreviewGroup",       Size::Exactly, 3, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineSwitchPreviewGroupByName", Size::Exactly, 3, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineSwitchListGroup",          Size::Exactly, 3, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineSetPanelCut",              Size::Exactly, 4, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineShowPanelDockList",        Size::Any,     0, Select::SizeIs,      2, Action::None,        Emits::Params},
    {"InlineControlSlider",            Size::Exactly, 4, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineExit",                     Size::Any,     0, Select::Never,       0, Action::None,        Emits::AllParts},
    {"InlineMinimize",                 Size::Any,     0, Select::Never,       0, Action::None,        Emits::AllParts},
    {"InlineLogout",                   Size::Any,     0, Select::Never,       0, Action::None,        Emits::AllParts},
    {"InlineSetMonitor",               Size::Any,     0, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineTextControl",              Size::AtLeast, 3, Select::Never,       0, Action::None,        Emits::Params},
    {"InlineSetVariable",              Size::AtLeast, 3, Select::Never,       0, Action::SetVariable, Emits::Nothing},
    {"InlineShowRLine",                Size::Any,     0, Select::SizeIs,      2, Action::None,        Emits::Params},
    {"InlineReplaceSignal",            Size::Exactly, 3, Select::Never,       0, Action::None,        Emits::Params},
    {"InlinePanelSleep",               Size::Exactly, 3, Select::Never,       0, Action::PanelSleep,  Emits::Nothing},
    {"InlinePanelLock",                Size::Exactly, 3, Select::Never,       0, Action::PanelLock,   Emits::Nothing},
    {"InlineEditClocks",               Size::Any,     0, Select::SizeIs,      2, Action::GetClocks,   Emits::Params},
    {"InlineEditPollingGroups",        Size::Any,     0, Select::SizeIs,      2, Action::None,        Emits::Params},
    {"InlineSetStackIndex",            Size::Exactly, 3, Select::Never,       0, Action::StackIndex,  Emits::Nothing},
    {"InlineIPCMove",                  Size::Exactly, 3, Select::Never,       0, Action::IpcMove,     Emits::Nothing},
    {"InlineIPCZoom",                  Size::Exactly, 3, Select::Never,       0, Action::IpcZoom,     Emits::Nothing},
    {"InlineIPCPresets",               Size::Exactly, 4, Select::Never,       0, Action::IpcPresets,  Emits::Nothing},
    {"InlineWebReload",                Size::Exactly, 2, Select::Never,       0, Action::None,        Emits::Params},
};
// clang-format on

const Rule *ruleFor(const QString &name)
{
    for (const Rule &rule : kRules) {
        if (name == QLatin1String(rule.name))
            return &rule;
    }
    return nullptr;
}

bool sizeFits(const Rule &rule, int size)
{
    switch (rule.size) {
    case Size::Any: return true;
    case Size::AtLeast: return size >= rule.sizeCount;
    case Size::Exactly: return size == rule.sizeCount;
    case Size::Even: return size % 2 == 0;
    }
    return false;
}

bool selects(const Rule &rule, int size)
{
    switch (rule.select) {
    case Select::Never: return false;
    case Select::SizeIs: return size == rule.selectCount;
    case Select::SizeAtLeast: return size >= rule.selectCount;
    }
    return false;
}

// parts[1...] as ints; false when one of them is not a number.
bool numbersOf(const QStringList &parts, QList<int> *numbers)
{
    for (int i = 1; i < parts.size(); ++i) {
        bool ok = false;
        const int n = parts.at(i).toInt(&ok);
        if (!ok)
            return false;
        numbers->append(n);
    }
    return true;
}

// The arguments of the commands the controller object performs itself; false when they
// cannot be read, so nothing is done.
bool readArguments(const QStringList &parts, DesignCommand *c)
{
    switch (c->action) {
    case Action::SetVariable:
        c->name = parts.at(1);
        c->value = parts.at(2);
        return true;
    case Action::PanelSleep:
    case Action::PanelLock:
        c->wall = parts.at(1);
        c->on = parts.at(2) == QLatin1String("1");
        return true;
    case Action::StackIndex: {
        bool ok = false;
        c->name = parts.at(1);
        c->index = parts.at(2).toInt(&ok);
        return ok;
    }
    case Action::IpcMove:
    case Action::IpcZoom:
    case Action::IpcPresets:
        return numbersOf(parts, &c->numbers);
    case Action::None:
    case Action::GetStatus:
    case Action::GetWindows:
    case Action::ClearWall:
    case Action::GetClocks:
        return true;
    }
    return true;
}

} // namespace

QStringList commandParts(const QByteArray &command)
{
    if (command.size() > kMaxCommandBytes) {
        KWARN(lcApi) << "design command refused: too long," << command.size() << "bytes";
        return {};
    }
    if (command.size() < 2 || !command.startsWith('{') || !command.endsWith('}')) {
        KWARN(lcApi) << "design command refused: not in braces:" << shown(QString::fromUtf8(command));
        return {};
    }
    // The braces are single bytes, so cutting bytes drops exactly the first and last character.
    return QString::fromUtf8(command.constData() + 1, command.size() - 2)
        .split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

DesignCommand interpretDesignCommand(const QStringList &parts)
{
    DesignCommand c;
    if (parts.isEmpty())
        return c;
    const Rule *rule = ruleFor(parts.first());
    const int size = parts.size();
    if (!rule) {
        KWARN(lcApi) << "design command unknown:" << shown(parts);
        return c;
    }
    if (!sizeFits(*rule, size)) {
        KWARN(lcApi) << "design command refused: wrong size" << size << ':' << shown(parts);
        return c;
    }
    c.action = rule->action;
    if (!readArguments(parts, &c)) {
        KWARN(lcApi) << "design command refused: not a number:" << shown(parts);
        return DesignCommand();
    }
    if (selects(*rule, size))
        c.selectWall = parts.at(1);
    if (rule->emits != Emits::Nothing) {
        c.toPages = true;
        c.func = parts.first();
        c.params = rule->emits == Emits::AllParts ? parts : QStringList(parts.mid(1));
    }
    KTRACE(lcApi) << "design command:" << shown(parts);
    return c;
}

QByteArray screenSleepCommand(bool lighten)
{
    // Written by hand: the nodes get the keys in this order, QJsonDocument would sort them.
    return QByteArrayLiteral(R"({"Type":"System","Function":"setBasicConfig","Value":{"lighten_screen":)")
        + (lighten ? QByteArrayLiteral("true") : QByteArrayLiteral("false"))
        + QByteArrayLiteral(R"(,"lighten_color":"#FFFFFF"}})");
}

QByteArray lockCommand(const QString &wall, bool locked)
{
    // A separator or brace in the id would make the nodes read a different command, a
    // control character (NUL) may cut it short, and a character beyond Latin-1 would reach
    // them as "?": each addresses the wrong wall.
    bool usable = !wall.isEmpty();
    for (const QChar ch : wall) {
        if (ch == QLatin1Char(';') || ch == QLatin1Char('{') || ch == QLatin1Char('}') || ch.unicode() < 0x20
            || ch.unicode() > 0xff)
            usable = false;
    }
    if (!usable) {
        KWARN(lcApi) << "lock command refused: unusable wall id" << shown(wall);
        return {};
    }
    const QString text = locked ? QStringLiteral("{SetLockFrame;%1;-1}") : QStringLiteral("{SetLockFrame;%1}");
    return text.arg(wall).toLatin1();
}

} // namespace kora::commands
