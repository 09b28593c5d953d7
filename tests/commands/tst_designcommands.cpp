// Design commands: splitting the bracketed text, what each command makes the controller
// object do and what the pages are told, and the node commands built for sleep and lock.
#include "commands/designcommands.h"

#include "support/testmain.h"

using namespace kora::commands;
using Action = DesignCommand::Action;

Q_DECLARE_METATYPE(Action)

class TestDesignCommands : public QObject
{
    Q_OBJECT
private slots:
    void parts_data()
    {
        columns<QByteArray, QStringList>({"command", "parts"});
        QTest::addColumn<QString>("warning"); // expected log line, empty for none

        const QString braces = QStringLiteral("refused: not in braces");
        QTest::newRow("empty parts dropped") << QByteArray("{;InlineSetPanelDock;;1;;2;}")
                                             << QStringList{"InlineSetPanelDock", "1", "2"} << QString();
        QTest::newRow("no braces") << QByteArray("InlineExit") << QStringList() << braces;

        const QByteArray atLimit = '{' + QByteArray(kMaxCommandBytes - 2, 'x') + '}';
        QTest::newRow("at the limit") << atLimit << QStringList{QString(kMaxCommandBytes - 2, 'x')} << QString();
        QTest::newRow("over the limit") << '{' + QByteArray(kMaxCommandBytes - 1, 'x') + '}' << QStringList()
                                        << QStringLiteral("refused: too long");
    }

    void parts()
    {
        QFETCH(QByteArray, command);
        QFETCH(QString, warning);
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(warning)));
        QTEST(commandParts(command), "parts");
    }

    // What the pages are told and what is selected, for every command of the language.
    void interpret_data()
    {
        columns<QByteArray, Action, QString, bool, QStringList>({"command", "action", "selectWall", "toPages", "params"});

        const auto emits = [](const char *command, const QStringList &params, const char *select = "",
                              Action action = Action::None) {
            QTest::newRow(command) << QByteArray(command) << action << QString(select) << true << params;
        };
        const auto silent = [](const char *command, Action action = Action::None, const char *select = "") {
            QTest::newRow(command) << QByteArray(command) << action << QString(select) << false << QStringList();
        };

        // One row per kind of command: passed to the pages (with their arity), selecting a wall,
        // acting on the client; one beyond each arity is dropped.
        emits("{InlineSetPanelDock;1;2}", {"1", "2"});
        emits("{InlineScenesPolling;1;1}", {"1", "1"}, "1");
        emits("{InlineEditSubTitle;2}", {"2"}, "2", Action::GetStatus);
        silent("{InlineEditSubTitle}");
        silent("{InlineRefreshPanel;3}", Action::GetWindows, "3");
        emits("{InlineClearPanel;3}", {"3"}, "3", Action::ClearWall);
        emits("{InlineSetLayerVisible;0;layer;1}", {"0", "layer", "1"});
        emits("{InlineEditPanelScenePolling;1;2;3}", {"1", "2", "3"}, "1");
        emits("{InlineSwitchPreviewGroupByName;p;g}", {"p", "g"});
        emits("{InlineSetPanelCut;1;2;3}", {"1", "2", "3"});
        silent("{InlineSetPanelCut;1;2}");
        emits("{InlineExit}", {"InlineExit"});
        silent("{InlineSetVariable;v;1}", Action::SetVariable);
        silent("{InlineReplaceSignal;1}");
        silent("{InlinePanelSleep;1;1}", Action::PanelSleep);
        silent("{InlinePanelLock;100;1}", Action::PanelLock);
        silent("{InlinePanelLock;100;1;x}");
        emits("{InlineEditClocks;1}", {"1"}, "1", Action::GetClocks);
        silent("{InlineSetStackIndex;stack;1}", Action::StackIndex);
        silent("{InlineSetStackIndex;stack;first}");
        silent("{InlineIPCMove;1;-2}", Action::IpcMove);
        silent("{InlineIPCZoom;1;2}", Action::IpcZoom);
        silent("{InlineIPCPresets;1;2;3}", Action::IpcPresets);
        emits("{InlineWebReload;w}", {"w"});

        // Not commands of the interpreter.
        silent("{InlineNoSuchCommand;1}");
        silent("{\xff\xfe;\x01}");
    }

    void interpret()
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

    void lock_data()
    {
        columns<QString, QByteArray>({"wall", "bytes"});
        QTest::newRow("locked") << "100" << QByteArray("{SetLockFrame;100;-1}");
        QTest::newRow("separator") << "1;2" << QByteArray();
        QTest::newRow("beyond latin-1") << QString::fromUtf8("\xe5\xa4\xa7") << QByteArray();
    }

    void lock()
    {
        QFETCH(QString, wall);
        QFETCH(QByteArray, bytes);
        if (bytes.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("lock command refused")));
        QCOMPARE(lockCommand(wall, true), bytes);
    }
};

KORA_TEST(TestDesignCommands)
KORA_TEST_MAIN(QCoreApplication)
#include "tst_designcommands.moc"
