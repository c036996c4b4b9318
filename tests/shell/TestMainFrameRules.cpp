// The rules behind the main window, without a window: menus, commands, pane texts, reminder.
#include <QtTest>
#include <clocale>

#include "ManualTimer.h"
#include "TestSupport.h"
#include "app/Settings.h"
#include "shell/Commands.h"
#include "shell/NoteReminder.h"
#include "shell/StatusPaneText.h"

class TestMainFrameRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void menusHoldTheirItemsInOrder();
    void everyItemHasTextAndPrompt();
    void commandsWithoutHandlerAreDisabled();
    void paneTexts_data();
    void paneTexts();
    void reminder_data();
    void reminder();
    void reminderPeriods();
};

void TestMainFrameRules::initTestCase() {
    std::setlocale(LC_TIME, "C");
}

void TestMainFrameRules::menusHoldTheirItemsInOrder() {
    using namespace Cmd;
    constexpr int S = kSeparator;
    const QList<MenuDefinition> without = MainMenu(false);
    QCOMPARE(without.size(), 4);
    QCOMPARE(QLatin1String(without[0].title), QLatin1String("&File"));
    QCOMPARE(without[0].items,
             (QList<int>{FileNew, FileOpen, S, FilePrintSetup, S, FileMruFirst, S, AppExit}));
    QCOMPARE(without[1].items, (QList<int>{AddressEdit, AddressDelete, AddressNew, S, AddressGet}));
    QCOMPARE(without[2].items, (QList<int>{ViewToolbar, ViewStatusBar}));
    QCOMPARE(without[3].items, (QList<int>{HelpTopics, S, AppAbout}));

    const QList<MenuDefinition> with = MainMenu(true);
    QStringList titles;
    for (const MenuDefinition& menu : with)
        titles.append(QLatin1String(menu.title));
    QCOMPARE(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&Message"),
                                  QStringLiteral("&Address"), QStringLiteral("&Edit"),
                                  QStringLiteral("&View"), QStringLiteral("&Window"),
                                  QStringLiteral("&Help")}));
    QCOMPARE(with[0].items, (QList<int>{FileNew, FileOpen, FileClose, FileSave, FileSaveAs, S,
                                        Preferences, S, FilePrint, FilePrintPreview, PageSetup, S,
                                        FileSendMail, S, FileMruFirst, S, AppExit}));
    QCOMPARE(with[1].items, QList<int>{SendMessage});
    QCOMPARE(with[3].items, (QList<int>{EditUndo, S, EditCut, EditCopy, EditPaste, EditPasteSpecial,
                                        EditSelectAll, S, EditFind, EditFindNext, EditReplace}));
    QCOMPARE(with[5].items, (QList<int>{WindowCascade, WindowTile, WindowArrange}));

    QCOMPARE(MainToolbar(),
             (QList<int>{SendMessage, Preferences, S, FileNew, FileOpen, FileSave, S, EditCut,
                         EditCopy, EditPaste, S, FilePrint, AppAbout, ContextHelpMode}));
    QCOMPARE(TrayMenu(), (QList<int>{SendMessageTray, S, TrayRestore, AppAbout, S, TrayExit}));
}

void TestMainFrameRules::everyItemHasTextAndPrompt() {
    QList<int> ids = MainToolbar() + TrayMenu();
    for (bool documentOpen : {false, true}) {
        for (const MenuDefinition& menu : MainMenu(documentOpen))
            ids += menu.items;
    }
    QSet<QString> names;
    for (const int id : ids) {
        if (id == Cmd::kSeparator)
            continue;
        const CommandInfo* info = FindCommand(id);
        QVERIFY2(info, qPrintable(QString::number(id)));
        QVERIFY(*info->text && *info->prompt && *info->objectName);
    }
    for (const CommandInfo& info : AllCommands()) {
        QVERIFY2(!names.contains(QLatin1String(info.objectName)), info.objectName);
        names.insert(QLatin1String(info.objectName));
    }
    QCOMPARE(QLatin1String(FindCommand(Cmd::SendMessage)->shortcuts), QLatin1String("Ctrl+E"));
    QCOMPARE(QLatin1String(FindCommand(Cmd::EditUndo)->shortcuts),
             QLatin1String("Ctrl+Z;Alt+Backspace"));
    QCOMPARE(QLatin1String(FindCommand(Cmd::TrayExit)->text), QLatin1String("&Exit"));
    QCOMPARE(QLatin1String(FindCommand(Cmd::AppAbout)->text), QLatin1String("&About Quillpad..."));
}

void TestMainFrameRules::commandsWithoutHandlerAreDisabled() {
    CommandTable table;
    int runs = 0;
    bool serverSet = false;
    QVERIFY(!table.IsEnabled(Cmd::AddressGet));
    QVERIFY(!table.Execute(Cmd::AddressGet));
    table.SetHandler(
        Cmd::AddressGet, [&runs] { ++runs; }, [&serverSet] { return serverSet; });
    QVERIFY(!table.Execute(Cmd::AddressGet));
    serverSet = true;
    QVERIFY(table.Execute(Cmd::AddressGet));
    QCOMPARE(runs, 1);
    table.RemoveHandler(Cmd::AddressGet);
    QVERIFY(!table.IsEnabled(Cmd::AddressGet));
}

void TestMainFrameRules::paneTexts_data() {
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("21:05") << QTime(21, 5) << QStringLiteral("09:05  PM ");
    QTest::newRow("12:30") << QTime(12, 30) << QStringLiteral("12:30  PM ");
    QTest::newRow("00:30") << QTime(0, 30) << QStringLiteral("12:30  AM ");
    QTest::newRow("11:59") << QTime(11, 59, 59) << QStringLiteral("11:59  AM ");
}

void TestMainFrameRules::paneTexts() {
    QFETCH(QTime, time);
    QFETCH(QString, text);
    const QDateTime now(QDate(2026, 12, 7), time);
    QCOMPARE(TimePaneText(now), text);
    QCOMPARE(DatePaneText(now), QStringLiteral("12/07/26"));
    QCOMPARE(PortPaneText(6001), QStringLiteral("Port 6001"));
}

void TestMainFrameRules::reminder_data() {
    QTest::addColumn<quint32>("notify");
    QTest::addColumn<QList<int>>("arrivalsAtMinute");  // notes shown, at these minutes
    QTest::addColumn<int>("dealtWithAtMinute");        // all notes answered or closed; -1 never
    QTest::addColumn<QList<int>>("soundsAtMinute");    // Message sounds heard
    // "Notify Interval" is 5 minutes throughout; the test watches 22 minutes.
    QTest::newRow("one note") << 1u << QList<int>{0} << -1 << QList<int>{0, 5, 10, 15, 20};
    QTest::newRow("two notes a minute apart")
        << 1u << QList<int>{0, 1} << -1 << QList<int>{0, 1, 6, 11, 16, 21};
    QTest::newRow("notify off") << 0u << QList<int>{0, 1} << -1 << QList<int>{0, 1};
    QTest::newRow("all dealt with") << 1u << QList<int>{0} << 7 << QList<int>{0, 5};
}

void TestMainFrameRules::reminder() {
    QFETCH(quint32, notify);
    QFETCH(QList<int>, arrivalsAtMinute);
    QFETCH(int, dealtWithAtMinute);
    QFETCH(QList<int>, soundsAtMinute);
    constexpr qint64 kMinute = 60000;

    Settings settings;
    settings.m_bNotify = notify;
    settings.m_nNotifyInterval = 5;
    ManualTimer timer;
    int unanswered = 0;
    QList<int> heard;
    NoteReminder reminder(
        settings, timer, [&unanswered] { return unanswered; },
        [&heard, &timer] { heard.append(static_cast<int>(timer.Now() / kMinute)); });
    reminder.Start();
    for (int minute = 0; minute <= 22; ++minute) {
        if (minute > 0)
            timer.Advance(kMinute);
        if (minute == dealtWithAtMinute)
            unanswered = 0;
        if (arrivalsAtMinute.contains(minute)) {
            ++unanswered;
            reminder.NotifyNewMessage();
        }
    }
    QCOMPARE(heard, soundsAtMinute);
    QVERIFY(timer.IsActive());  // the timer goes on ticking silently
}

void TestMainFrameRules::reminderPeriods() {
    QCOMPARE(NoteReminder::PeriodMs(5), 300000);
    QCOMPARE(NoteReminder::PeriodMs(0), 60000);  // never a timer without pause
    QCOMPARE(NoteReminder::PeriodMs(0xffffffffu), std::numeric_limits<int>::max());

    Settings settings;
    settings.m_bNotify = 1;
    settings.m_nNotifyInterval = 0;
    ManualTimer timer;
    int sounds = 0;
    NoteReminder reminder(
        settings, timer, [] { return 1; }, [&sounds] { ++sounds; });
    reminder.NotifyNewMessage();
    QCOMPARE(timer.Advance(10 * 60000), 10);
    QCOMPARE(sounds, 11);
}

QUILLPAD_TEST_MAIN(TestMainFrameRules)
#include "TestMainFrameRules.moc"
