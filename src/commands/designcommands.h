#pragma once
// The design command language ("{InlineName;arg;...}") that designed buttons address to the
// client itself and the controller pushes: parsed into what the controller object does and
// what the pages are told. Pure: the controller object performs the result.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace kora::commands {

constexpr int kMaxCommandBytes = 65507;

// The braces dropped, split at ";", empty parts dropped: parts[0] is the name. Empty (and
// logged) for a text that is not in braces or is longer than kMaxCommandBytes.
QStringList commandParts(const QByteArray &command);

struct DesignCommand {
    // What the controller object does first.
    enum class Action {
        None,
        GetStatus,   // ServerGetStatus(selPanel) after selecting
        GetWindows,  // ServerGetWindows(selPanel)
        ClearWall,   // ServerClearWall()
        GetClocks,   // serverGetClocks(selPanel)
        SetVariable, // variable `name` := `value`
        PanelSleep,  // `wall`, `on`: the screen command to each decoder of that wall
        PanelLock,   // `wall`, `on`: the lock command to the wall group
        StackIndex,  // `name` (stack), `index`
        IpcMove,     // numbers[0], numbers[1]
        IpcZoom,     // numbers[0], numbers[1]
        IpcPresets,  // numbers[0..2]
    };
    Action action = Action::None;
    QString selectWall;  // non-empty: selPanel becomes this wall before the action
    QString name, value; // SetVariable; StackIndex uses name
    QString wall;        // PanelSleep, PanelLock
    bool on = false;     // PanelSleep, PanelLock
    int index = 0;       // StackIndex
    QList<int> numbers;  // Ipc*
    bool toPages = false; // emit callCustomProtocol(func, params)
    QString func;
    QStringList params;
};

// What a parsed command means; Action::None and toPages false (logged) for an unknown
// command, a size the command does not accept or a number argument that is not a number.
DesignCommand interpretDesignCommand(const QStringList &parts);

// The node command that lights a decoder's screen or puts it to sleep (compact JSON, keys in
// the order the nodes expect).
QByteArray screenSleepCommand(bool lighten);
// "{SetLockFrame;wall;-1}" (locked) or "{SetLockFrame;wall}". Empty (logged) for a wall id
// that is empty, holds ";", "{", "}" or a control character, or is not Latin-1: the caller
// then sends nothing.
QByteArray lockCommand(const QString &wall, bool locked);

} // namespace kora::commands
