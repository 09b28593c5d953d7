// Design commands: splitting the bracketed text, what each command makes the controller
// object do and what the pages are told, and the node commands built for sleep and lock.
#include "commands/designcommands.h"

#include <QtTest>

using namespace kora::commands;
using Action = DesignCommand::Action;
using Numbers = QList<int>;

Q_DECLARE_METATYPE(Action)

class TestDesignCommands : public QObject
{
    Q_OBJECT
private slots:
    void parts_data();
    void parts();
    void interpret_data();
    void interpret();
    void arguments_data();
    void arguments();
    void screenSleep_data();
    void screenSleep();
    void lock_data();
    void lock();
};

void TestDesignCommands::parts_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("warning"); // expected log line, empty for none

    const QString braces = QStringLiteral("refused: not in braces");
    QTest::newRow("name and arguments") << QByteArray("{InlineSetPanelDock;1;2}")
                                        << QStringList{"InlineSetPanelDock", "1", "2"} << QString();
    QTest::newRow("empty parts dropped") << QByteArray("{;InlineSetPanelDock;;1;;2;}")
                                         << QStringList{"InlineSetPanelDock", "1", "2"} << QString();
    QTest::newRow("spaces kept") << QByteArray("{InlineShowSubTitle; a b }")
                                 << QStringList{"InlineShowSubTitle", " a b "} << QString();
    QTest::newRow("utf-8") << QByteArray("{InlineShowSubTitle;1;\xe5\xa4\xa7\xe5\xb1\x8f}")
                           << QStringList{"InlineShowSubTitle", "1", QString::fromUtf8("\xe5\xa4\xa7\xe5\xb1\x8f")}
                           << QString();
    QTest::newRow("braces only") << QByteArray("{}") << QStringList() << QString();
    QTest::newRow("separators only") << QByteArray("{;;;}") << QStringList() << QString();
    QTest::newRow("no braces") << QByteArray("InlineExit") << QStringList() << braces;
    QTest::newRow("no closing brace") << QByteArray("{InlineExit") << QStringList() << braces;
    QTest::newRow("one brace") << QByteArray("{") << QStringList() << braces;
    QTest::newRow("leading space") << QByteArray(" {InlineExit}") << QStringList() << braces;
    QTest::newRow("trailing newline") << QByteArray("{InlineExit}\n") << QStringList() << braces;
    QTest::newRow("empty") << QByteArray() << QStringList() << braces;

    const QByteArray atLimit = '{' + QByteArray(kMaxCommandBytes - 2, 'x') + '}';
    QTest::newRow("at the limit") << atLimit << QStringList{QString(kMaxCommandBytes - 2, 'x')} << QString();
    QTest::newRow("over the limit") << '{' + QByteArray(kMaxCommandBytes - 1, 'x') + '}' << QStringList()
                                    << QStringLiteral("refused: too long");
}

void TestDesignCommands::parts()
{
    QFETCH(QByteArray, command);
    QFETCH(QStringList, parts);
    QFETCH(QString, warning);
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
    QCOMPARE(commandParts(command), parts);
}

// What the pages are told and what is selected, for every command of the language.
void TestDesignCommands::interpret_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("selectWall");
    QTest::addColumn<bool>("toPages");
    QTest::addColumn<QStringList>("params");

    const auto emits = [](const char *command, const QStringList &params, const char *select = "",
                          Action action = Action::None) {
        QTest::newRow(command) << QByteArray(command) << action << QString(select) << true << params;
    };
    const auto silent = [](const char *command, Action action = Action::None, const char *select = "") {
        QTest::newRow(command) << QByteArray(command) << action << QString(select) << false << QStringList();
    };

    emits("{InlineSetPanelDock;1;2}", {"1", "2"});
    emits("{InlineSetPanelDock}", {});
    emits("{InlineScenesPolling;1;1}", {"1", "1"}, "1");
    emits("{InlineScenesPolling;1}", {"1"});
    emits("{InlineEditPanelDock;1}", {"1"});
    emits("{InlineSetPanelPredrawMode;1;1}", {"1", "1"});
    emits("{InlinePublishPanelPredraw;1}", {"1"});
    emits("{InlineEditSubTitle;2}", {"2"}, "2", Action::GetStatus);
    silent("{InlineEditSubTitle}");
    emits("{InlineEditSubTitle2;2;x}", {"2", "x"}, "2", Action::GetStatus);
    silent("{InlineEditSubTitle2}");
    emits("{InlineShowSubTitle;1;hello}", {"1", "hello"});
    silent("{InlineRefreshPanel;3}", Action::GetWindows, "3");
    silent("{InlineRefreshPanel}");
    emits("{InlineClearPanel;3}", {"3"}, "3", Action::ClearWall);
    silent("{InlineClearPanel}");
    emits("{InlineShowPanelWindowDem;1}", {"1"});
    emits("{InlineSetLayerVisible;0}", {"0"});
    emits("{InlineSetLayerVisible;0;layer;1}", {"0", "layer", "1"});
    silent("{InlineSetLayerVisible;0;layer;1;other}");
    silent("{InlineSetLayerVisible}");
    emits("{InlineSavePanelScene;1}", {"1"}, "1");
    emits("{InlineSavePanelScene;1;x}", {"1", "x"});
    emits("{InlineClearPanelScenes;1}", {"1"});
    emits("{InlineDeletePanelScene;1;s}", {"1", "s"}, "1");
    emits("{InlineDeletePanelScene;1}", {"1"});
    emits("{InlineEditPanelScene;1;s}", {"1", "s"}, "1");
    emits("{InlineEditPanelScene;1;s;x}", {"1", "s", "x"});
    emits("{InlineEditPanelScenePolling;1}", {"1"}, "1");
    emits("{InlineEditPanelScenePolling;1;2;3}", {"1", "2", "3"}, "1");
    emits("{InlineEditPanelScenePolling}", {});
    emits("{InlineSwitchPreviewGroup;p;2}", {"p", "2"});
    silent("{InlineSwitchPreviewGroup;p}");
    emits("{InlineSwitchPreviewGroupByName;p;g}", {"p", "g"});
    silent("{InlineSwitchPreviewGroupByName;p;g;x}");
    emits("{InlineSwitchListGroup;u;2}", {"u", "2"});
    silent("{InlineSwitchListGroup;u}");
    emits("{InlineSetPanelCut;1;2;3}", {"1", "2", "3"});
    silent("{InlineSetPanelCut;1;2}");
    emits("{InlineShowPanelDockList;1}", {"1"}, "1");
    emits("{InlineShowPanelDockList;1;2}", {"1", "2"});
    emits("{InlineControlSlider;s;1;5}", {"s", "1", "5"});
    silent("{InlineControlSlider;s;1}");
    emits("{InlineExit}", {"InlineExit"});
    emits("{InlineMinimize;x}", {"InlineMinimize", "x"});
    emits("{InlineLogout}", {"InlineLogout"});
    emits("{InlineSetMonitor;m;a;b;c;d}", {"m", "a", "b", "c", "d"});
    emits("{InlineTextControl;set;t;hello}", {"set", "t", "hello"});
    silent("{InlineTextControl;del}");
    silent("{InlineSetVariable;v;1}", Action::SetVariable);
    silent("{InlineSetVariable;v;}");
    emits("{InlineShowRLine;1}", {"1"}, "1");
    emits("{InlineShowRLine;1;2}", {"1", "2"});
    emits("{InlineReplaceSignal;1;s}", {"1", "s"});
    silent("{InlineReplaceSignal;1}");
    silent("{InlinePanelSleep;1;1}", Action::PanelSleep);
    silent("{InlinePanelSleep;1}");
    silent("{InlinePanelLock;100;1}", Action::PanelLock);
    silent("{InlinePanelLock;100;1;x}");
    emits("{InlineEditClocks;1}", {"1"}, "1", Action::GetClocks);
    emits("{InlineEditClocks}", {}, "", Action::GetClocks);
    emits("{InlineEditClocks;1;2}", {"1", "2"}, "", Action::GetClocks);
    emits("{InlineEditPollingGroups;1}", {"1"}, "1");
    emits("{InlineEditPollingGroups;1;2}", {"1", "2"});
    silent("{InlineSetStackIndex;stack;1}", Action::StackIndex);
    silent("{InlineSetStackIndex;stack}");
    silent("{InlineSetStackIndex;stack;first}");
    silent("{InlineIPCMove;1;-2}", Action::IpcMove);
    silent("{InlineIPCMove;1}");
    silent("{InlineIPCMove;left;1}");
    silent("{InlineIPCZoom;1;2}", Action::IpcZoom);
    silent("{InlineIPCZoom;1;2.5}");
    silent("{InlineIPCPresets;1;2;3}", Action::IpcPresets);
    silent("{InlineIPCPresets;1;2}");
    emits("{InlineWebReload;w}", {"w"});
    silent("{InlineWebReload}");
    silent("{InlineWebReload;w;x}");

    // Not commands of the interpreter.
    silent("{InlineNoSuchCommand;1}");
    silent("{InlineSwitchPage;p}");
    silent("{inlineexit}");
    silent("{ InlineExit}");
    silent("InlineExit");
    silent("{;;}");
    silent("{\xff\xfe;\x01}");
}

void TestDesignCommands::interpret()
{
    QFETCH(QByteArray, command);
    QFETCH(Action, action);
    QFETCH(QString, selectWall);
    QFETCH(bool, toPages);
    QFETCH(QStringList, params);

    const QStringList parts = commandParts(command);
    const DesignCommand c = interpretDesignCommand(parts);
    QCOMPARE(c.action, action);
    QCOMPARE(c.selectWall, selectWall);
    QCOMPARE(c.toPages, toPages);
    QCOMPARE(c.func, toPages ? parts.value(0) : QString());
    QCOMPARE(c.params, params);
}

// The arguments of the commands the controller object performs itself.
void TestDesignCommands::arguments_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("wall");
    QTest::addColumn<bool>("on");
    QTest::addColumn<int>("index");
    QTest::addColumn<Numbers>("numbers");

    QTest::newRow("variable") << QByteArray("{InlineSetVariable;mode;day}") << Action::SetVariable << "mode"
                              << "day" << "" << false << 0 << Numbers();
    QTest::newRow("variable, extra part") << QByteArray("{InlineSetVariable;mode;day;night}") << Action::SetVariable
                                          << "mode" << "day" << "" << false << 0 << Numbers();
    QTest::newRow("sleep on") << QByteArray("{InlinePanelSleep;2;1}") << Action::PanelSleep << "" << "" << "2"
                              << true << 0 << Numbers();
    QTest::newRow("sleep off") << QByteArray("{InlinePanelSleep;2;0}") << Action::PanelSleep << "" << "" << "2"
                               << false << 0 << Numbers();
    QTest::newRow("sleep, not 1") << QByteArray("{InlinePanelSleep;2;true}") << Action::PanelSleep << "" << ""
                                  << "2" << false << 0 << Numbers();
    QTest::newRow("lock") << QByteArray("{InlinePanelLock;100;1}") << Action::PanelLock << "" << "" << "100" << true
                          << 0 << Numbers();
    QTest::newRow("unlock") << QByteArray("{InlinePanelLock;100;0}") << Action::PanelLock << "" << "" << "100"
                            << false << 0 << Numbers();
    QTest::newRow("stack") << QByteArray("{InlineSetStackIndex;tabs;2}") << Action::StackIndex << "tabs" << ""
                           << "" << false << 2 << Numbers();
    QTest::newRow("move") << QByteArray("{InlineIPCMove;-1;3}") << Action::IpcMove << "" << "" << "" << false << 0
                          << Numbers{-1, 3};
    QTest::newRow("zoom") << QByteArray("{InlineIPCZoom;1;0}") << Action::IpcZoom << "" << "" << "" << false << 0
                          << Numbers{1, 0};
    QTest::newRow("presets") << QByteArray("{InlineIPCPresets;3;7;1}") << Action::IpcPresets << "" << "" << ""
                             << false << 0 << Numbers{3, 7, 1};
    QTest::newRow("presets, out of range") << QByteArray("{InlineIPCPresets;3;7;99999999999}") << Action::None
                                           << "" << "" << "" << false << 0 << Numbers();
}

void TestDesignCommands::arguments()
{
    QFETCH(QByteArray, command);
    QFETCH(Action, action);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(QString, wall);
    QFETCH(bool, on);
    QFETCH(int, index);
    QFETCH(Numbers, numbers);

    const DesignCommand c = interpretDesignCommand(commandParts(command));
    QCOMPARE(c.action, action);
    QCOMPARE(c.name, name);
    QCOMPARE(c.value, value);
    QCOMPARE(c.wall, wall);
    QCOMPARE(c.on, on);
    QCOMPARE(c.index, index);
    QCOMPARE(c.numbers, numbers);
}

void TestDesignCommands::screenSleep_data()
{
    QTest::addColumn<bool>("lighten");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lighten")
        << true
        << QByteArray(R"({"Type":"System","Function":"setBasicConfig","Value":{"lighten_screen":true,"lighten_color":"#FFFFFF"}})");
    QTest::newRow("sleep")
        << false
        << QByteArray(R"({"Type":"System","Function":"setBasicConfig","Value":{"lighten_screen":false,"lighten_color":"#FFFFFF"}})");
}

void TestDesignCommands::screenSleep()
{
    QFETCH(bool, lighten);
    QFETCH(QByteArray, bytes);
    QCOMPARE(screenSleepCommand(lighten), bytes);
}

void TestDesignCommands::lock_data()
{
    QTest::addColumn<QString>("wall");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("locked") << "100" << true << QByteArray("{SetLockFrame;100;-1}");
    QTest::newRow("unlocked") << "100" << false << QByteArray("{SetLockFrame;100}");
    QTest::newRow("latin-1") << QString::fromUtf8("W\xc3\xa4nd") << true << QByteArray("{SetLockFrame;W\xe4nd;-1}");
    QTest::newRow("placeholder kept") << "%2" << false << QByteArray("{SetLockFrame;%2}");
    QTest::newRow("separator") << "1;2" << true << QByteArray();
    QTest::newRow("opening brace") << "{1" << false << QByteArray();
    QTest::newRow("closing brace") << "1}" << true << QByteArray();
    QTest::newRow("beyond latin-1") << QString::fromUtf8("\xe5\xa4\xa7") << true << QByteArray();
    QTest::newRow("control character") << QString::fromLatin1("1\0" "2", 3) << true << QByteArray();
    QTest::newRow("empty") << "" << true << QByteArray();
}

void TestDesignCommands::lock()
{
    QFETCH(QString, wall);
    QFETCH(bool, locked);
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("lock command refused")));
    QCOMPARE(lockCommand(wall, locked), bytes);
}

QTEST_MAIN(TestDesignCommands)
#include "tst_designcommands.moc"
