// The Options sheet as a user works it, on a program started in this process: its own store,
// its hub listening on a loopback port, and the store looked at after each answer.
#include <QtTest>
#include <QtWidgets>
#include <thread>

#include "Child.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "app/CQuillpadApp.h"
#include "app/CRegistry.h"
#include "net/NoteRuns.h"
#include "shell/CDataPage.h"
#include "shell/CMainFrame.h"
#include "shell/COptionSheet.h"
#include "shell/CPProfilePage.h"
#include "shell/FileDialog.h"
#include "shell/MessageBox.h"

namespace {

const QString kKey = QStringLiteral("Software\\Vexor\\Quillpad\\3.0\\");

template <typename T = QWidget>
T* Control(QWidget* sheet, const char* name) {
    return Child<T>(*sheet, name);
}

}  // namespace

class TestOptionSheet : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cancelWritesNothing();
    void okWithoutChangeSavesSixSections();
    void alwaysOnTopTakesEffectAtOnce();
    void numbersOutsideTheirRangeKeepTheUserOnThePage_data();
    void numbersOutsideTheirRangeKeepTheUserOnThePage();
    void directoriesGetTheirSeparatorWhenLeft();
    void checkBoxesSwitchTheirGroups();
    void speakerPlaysThePathAsItStands();
    void choosersFillTheirFields();
    void emptyNameIsAskedForOnce();
    void unusableDataDirectoryKeepsTheSheetOpen();
    void newNameAnswersTheNextCheck();
    void addressGetFollowsTheServer();
    void cleanupTestCase();

private:
    COptionSheet* OpenSheet();
    void ShowPage(COptionSheet* sheet, const char* pageName);
    // Moves the keyboard focus as a click or Tab would, and lets the sheet react.
    void FocusOn(QWidget* control);
    quint32 StoredNumber(const char* section, const char* name);
    QString StoredText(const char* section, const char* name);
    void Store(const char* section, const char* name, quint32 value);

    RecordingSoundPlayer m_sounds{true};
    std::unique_ptr<CQuillpadApp> m_app;
    quint16 m_port = 0;
    QStringList m_boxes;
    std::function<void()> m_onBox;
};

void TestOptionSheet::initTestCase() {
    m_port = FreePort();
    WriteWholeFile(CurrentTestHome().StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n"
                   "\"Full Name\"=\"Ann\"\n\n"
                   "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Communication]\n"
                   "\"Port\"=" +
                       StoreDword(m_port) + "\n\"Socket Timeout\"=" + StoreDword(3) +
                       "\n\"Broadcast\"=" + StoreDword(0) + "\n\"Broadcast Port\"=" +
                       StoreDword(6002) + "\n\"Broadcast Interval\"=" + StoreDword(15) + "\n");
    MessageBox::SetAnswerer([this](QMessageBox::Icon, const QString& text) {
        m_boxes.append(text);
        if (m_onBox)
            m_onBox();
        return QMessageBox::Ok;
    });
    m_app = std::make_unique<CQuillpadApp>(CurrentTestHome().StorePath(), m_sounds, false);
    QVERIFY(m_app->InitInstance({}));
    QVERIFY(m_app->MainFrame()->Action(Cmd::Preferences)->isEnabled());
}

void TestOptionSheet::init() {
    m_boxes.clear();
    m_onBox = nullptr;
    m_sounds.Clear();
}

void TestOptionSheet::cleanup() {
    if (COptionSheet* sheet = m_app->OptionSheet())
        sheet->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!m_app->OptionSheet());
}

void TestOptionSheet::cleanupTestCase() {
    m_app->MainFrame()->Exit();
    m_app->ExitInstance();
    m_app.reset();
}

COptionSheet* TestOptionSheet::OpenSheet() {
    m_app->MainFrame()->Action(Cmd::Preferences)->trigger();
    COptionSheet* sheet = m_app->OptionSheet();
    // A second Preferences while the sheet is up brings the same sheet forward.
    m_app->MainFrame()->Commands().Execute(Cmd::Preferences);
    if (m_app->OptionSheet() != sheet)
        qFatal("a second sheet was made");
    if (!sheet || !sheet->isVisible() || !sheet->isModal())
        qFatal("Preferences did not show the modal sheet");
    sheet->activateWindow();
    if (!QTest::qWaitForWindowActive(sheet))
        qFatal("the sheet did not become active");
    return sheet;
}

void TestOptionSheet::ShowPage(COptionSheet* sheet, const char* pageName) {
    sheet->Tabs()->setCurrentWidget(Control(sheet, pageName));
}

void TestOptionSheet::FocusOn(QWidget* control) {
    control->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
}

quint32 TestOptionSheet::StoredNumber(const char* section, const char* name) {
    CRegistry reg(m_app->Store());
    quint32 value = 0xDEADBEEF;
    if (reg.Open(CRegistry::HKEY_CURRENT_USER, kKey + QLatin1String(section)))
        reg.ReadNumber(QLatin1String(name), value);
    return value;
}

QString TestOptionSheet::StoredText(const char* section, const char* name) {
    CRegistry reg(m_app->Store());
    QByteArray value("<unread>");
    if (reg.Open(CRegistry::HKEY_CURRENT_USER, kKey + QLatin1String(section)))
        reg.ReadString(QLatin1String(name), value);
    return QString::fromLocal8Bit(value);
}

void TestOptionSheet::Store(const char* section, const char* name, quint32 value) {
    CRegistry reg(m_app->Store());
    QVERIFY(reg.Open(CRegistry::HKEY_CURRENT_USER, kKey + QLatin1String(section)));
    QVERIFY(reg.WriteNumber(QLatin1String(name), value));
}

void TestOptionSheet::cancelWritesNothing() {
    const QByteArray before = ReadWholeFile(m_app->Store().FilePath());
    const Qt::WindowFlags flags = m_app->MainFrame()->windowFlags();
    COptionSheet* sheet = OpenSheet();
    QCOMPARE(sheet->windowTitle(), QStringLiteral("Options"));
    QStringList tabs;
    for (int i = 0; i < sheet->Tabs()->count(); ++i)
        tabs.append(sheet->Tabs()->tabText(i));
    QCOMPARE(tabs, (QStringList{QStringLiteral("Personal Profile"), QStringLiteral("Log"),
                                QStringLiteral("Sound"), QStringLiteral("Communication"),
                                QStringLiteral("Address Book")}));

    Control<QLineEdit>(sheet, "nameField")->setText(QStringLiteral("Someone Else"));
    ShowPage(sheet, "logPage");
    Control<QCheckBox>(sheet, "alwaysOnTopCheck")->setChecked(false);
    Control<QLineEdit>(sheet, "saveIntervalField")->setText(QStringLiteral("999"));
    QTest::mouseClick(Control(sheet, "cancelButton"), Qt::LeftButton);
    QVERIFY(!sheet->isVisible());
    QVERIFY(m_boxes.isEmpty());  // nothing is checked on the way out

    QCOMPARE(ReadWholeFile(m_app->Store().FilePath()), before);
    QCOMPARE(m_app->GetSettings().m_strFullName, QStringLiteral("Ann"));
    QCOMPARE(m_app->GetSettings().m_bAlwaysOnTop, 1u);
    QCOMPARE(m_app->MainFrame()->windowFlags(), flags);
}

void TestOptionSheet::okWithoutChangeSavesSixSections() {
    // Behind the program's back every section gets a value it does not hold; OK writes the
    // record's value over each, except in the Editor section.
    const Settings held = m_app->GetSettings();
    Store("Profiles", "Phone", 0);
    Store("Data", "Save Log Interval", 77);
    Store("Windows", "Always On Top", 0);
    Store("Communication", "Socket Timeout", 99);
    Store("FTP", "Update Interval", 23);
    Store("Sound", "Notify Interval", 59);
    {
        CRegistry reg(m_app->Store());
        QVERIFY(reg.Open(CRegistry::HKEY_CURRENT_USER, kKey + QStringLiteral("Editor")));
        const char margins[16] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0};
        QVERIFY(reg.WriteBinary(QStringLiteral("Margins"), margins, 16));
    }
    // Re-applying the band puts back one the window lost.
    m_app->MainFrame()->overrideWindowFlags(m_app->MainFrame()->windowFlags() &
                                            ~Qt::WindowStaysOnTopHint);

    COptionSheet* sheet = OpenSheet();
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    QVERIFY(!sheet->isVisible());
    QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join(QLatin1Char('|'))));

    QCOMPARE(StoredText("Profiles", "Phone"), held.m_strPhone);
    QCOMPARE(StoredNumber("Data", "Save Log Interval"), held.m_nSaveLogInterval);
    QCOMPARE(StoredNumber("Windows", "Always On Top"), 1u);
    QCOMPARE(StoredNumber("Communication", "Socket Timeout"), 3u);
    QCOMPARE(StoredNumber("FTP", "Update Interval"), held.m_nUpdateInterval);
    QCOMPARE(StoredNumber("Sound", "Notify Interval"), held.m_nNotifyInterval);
    QCOMPARE(StoredText("FTP", "Password").toLatin1() == QByteArray("TulipGate"), false);
    CRegistry reg(m_app->Store());
    char margins[16] = {};
    quint32 size = 16;
    QVERIFY(reg.OpenAndReadBinary(CRegistry::HKEY_CURRENT_USER, kKey + QStringLiteral("Editor"),
                                  QStringLiteral("Margins"), margins, size));
    QCOMPARE(margins[0], char(1));
    QVERIFY(m_app->MainFrame()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void TestOptionSheet::alwaysOnTopTakesEffectAtOnce() {
    CMainFrame* frame = m_app->MainFrame();
    const QRect geometry = frame->geometry();
    for (const bool on : {false, true}) {
        COptionSheet* sheet = OpenSheet();
        ShowPage(sheet, "logPage");
        Control<QCheckBox>(sheet, "alwaysOnTopCheck")->setChecked(on);
        QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
        QCOMPARE(frame->windowFlags().testFlag(Qt::WindowStaysOnTopHint), on);
        QCOMPARE(StoredNumber("Windows", "Always On Top"), on ? 1u : 0u);
        QCOMPARE(frame->geometry(), geometry);
        QVERIFY(frame->isVisible());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void TestOptionSheet::numbersOutsideTheirRangeKeepTheUserOnThePage_data() {
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("save 9") << QByteArray("logPage") << QByteArray("saveIntervalField") << "9"
                            << QByteArray("Data") << QByteArray("Save Log Interval") << false;
    QTest::newRow("save 241") << QByteArray("logPage") << QByteArray("saveIntervalField") << "241"
                              << QByteArray("Data") << QByteArray("Save Log Interval") << false;
    QTest::newRow("save 10") << QByteArray("logPage") << QByteArray("saveIntervalField") << "10"
                             << QByteArray("Data") << QByteArray("Save Log Interval") << true;
    QTest::newRow("save 240") << QByteArray("logPage") << QByteArray("saveIntervalField") << "240"
                              << QByteArray("Data") << QByteArray("Save Log Interval") << true;
    QTest::newRow("port 65536") << QByteArray("communicationPage") << QByteArray("portField")
                                << "65536" << QByteArray("Communication") << QByteArray("Port")
                                << false;
    QTest::newRow("port 0") << QByteArray("communicationPage") << QByteArray("portField") << "0"
                            << QByteArray("Communication") << QByteArray("Port") << false;
    QTest::newRow("timeout not a number")
        << QByteArray("communicationPage") << QByteArray("timeoutField") << "5s"
        << QByteArray("Communication") << QByteArray("Socket Timeout") << false;
    QTest::newRow("update 0") << QByteArray("addressBookPage") << QByteArray("updateIntervalField")
                              << "0" << QByteArray("FTP") << QByteArray("Update Interval") << false;
    QTest::newRow("notify 60") << QByteArray("soundPage") << QByteArray("notifyIntervalField")
                               << "60" << QByteArray("Sound") << QByteArray("Notify Interval")
                               << true;
}

void TestOptionSheet::numbersOutsideTheirRangeKeepTheUserOnThePage() {
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, field);
    QFETCH(QString, typed);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, value);
    QFETCH(bool, accepted);
    const quint32 before = StoredNumber(section.constData(), value.constData());

    // Confirmed from the page itself.
    COptionSheet* sheet = OpenSheet();
    ShowPage(sheet, page.constData());
    auto* edit = Control<QLineEdit>(sheet, field.constData());
    edit->setText(typed);
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    if (accepted) {
        QVERIFY(!sheet->isVisible());
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(StoredNumber(section.constData(), value.constData()), typed.toUInt());
        return;
    }
    QVERIFY(sheet->isVisible());
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].contains(QStringLiteral(" to ")), qPrintable(m_boxes[0]));
    QCOMPARE(sheet->focusWidget(), edit);
    QCOMPARE(edit->selectedText(), typed);
    QCOMPARE(StoredNumber(section.constData(), value.constData()), before);

    // Left for another page: the user is kept on this one.
    m_boxes.clear();
    QWidget* here = sheet->Tabs()->currentWidget();
    sheet->Tabs()->setCurrentIndex(sheet->Tabs()->currentIndex() == 0 ? 1 : 0);
    QCOMPARE(sheet->Tabs()->currentWidget(), here);
    QCOMPARE(m_boxes.size(), 1);
    edit->setText(QStringLiteral("12"));
    sheet->Tabs()->setCurrentIndex(sheet->Tabs()->currentIndex() == 0 ? 1 : 0);
    QVERIFY(sheet->Tabs()->currentWidget() != here);
    QCOMPARE(m_boxes.size(), 1);
}

void TestOptionSheet::directoriesGetTheirSeparatorWhenLeft() {
    COptionSheet* sheet = OpenSheet();
    ShowPage(sheet, "logPage");
    auto* data = Control<QLineEdit>(sheet, "dataDirectoryField");
    auto* interval = Control<QLineEdit>(sheet, "saveIntervalField");
    const QString chosen = QDir::tempPath() + QStringLiteral("/quillpad-data");
    for (const QString& typed : QStringList{chosen, chosen + QLatin1Char('/')}) {
        FocusOn(data);
        data->setText(typed);
        FocusOn(interval);
        QCOMPARE(data->text(), chosen + QLatin1Char('/'));
    }

    ShowPage(sheet, "addressBookPage");
    auto* server = Control<QLineEdit>(sheet, "ftpDirectoryField");
    auto* serverName = Control<QLineEdit>(sheet, "serverField");
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("E:\\FTP\\Books"), QStringLiteral("E:\\FTP\\Books\\")},
        {QStringLiteral("/pub/books"), QStringLiteral("/pub/books/")},
        {QString(), QString()},
    };
    for (const auto& [typed, expected] : cases) {
        FocusOn(server);
        server->setText(typed);
        FocusOn(serverName);
        QCOMPARE(server->text(), expected);
    }
    // A directory given without its separator is stored with it, even when typed last.
    FocusOn(server);
    server->setText(QStringLiteral("/pub/books"));
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    QCOMPARE(m_app->GetSettings().m_strFtpDirectory, QStringLiteral("/pub/books/"));
}

void TestOptionSheet::checkBoxesSwitchTheirGroups() {
    COptionSheet* sheet = OpenSheet();
    auto* notify = Control<QCheckBox>(sheet, "notifyCheck");
    const QList<QWidget*> rows = sheet->SoundPage()->findChildren<QWidget*>(
        QRegularExpression(QStringLiteral("^(welcome|error|message|leave)(Field|FileButton|"
                                          "PlayButton)$")));
    QCOMPARE(rows.size(), 12);
    for (const bool on : {false, true, false}) {
        notify->setChecked(on);
        for (QWidget* control : rows)
            QCOMPARE(control->isEnabled(), on);
        QCOMPARE(Control(sheet, "notifyIntervalField")->isEnabled(), on);
    }
    // A disabled interval that holds no number in range keeps the value it was given.
    Control<QLineEdit>(sheet, "notifyIntervalField")->setText(QStringLiteral("600"));
    ShowPage(sheet, "soundPage");
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    QVERIFY(m_boxes.isEmpty());
    QCOMPARE(m_app->GetSettings().m_bNotify, 0u);
    QCOMPARE(StoredNumber("Sound", "Notify"), 0u);
    QCOMPARE(StoredNumber("Sound", "Notify Interval"), m_app->GetSettings().m_nNotifyInterval);
    QVERIFY(m_app->GetSettings().m_nNotifyInterval <= 60);

    // A page opened with its box off starts with its group off.
    sheet = OpenSheet();
    QVERIFY(!Control(sheet, "errorPlayButton")->isEnabled());
    Control<QCheckBox>(sheet, "notifyCheck")->setChecked(true);
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
}

void TestOptionSheet::speakerPlaysThePathAsItStands() {
    const QString stored = m_app->GetSettings().m_strErrorSound;
    COptionSheet* sheet = OpenSheet();
    ShowPage(sheet, "soundPage");
    auto* error = Control<QLineEdit>(sheet, "errorField");
    const QString typed = QDir::tempPath() + QStringLiteral("/alarm.wav");
    error->setText(typed);
    QTest::mouseClick(Control(sheet, "errorPlayButton"), Qt::LeftButton);
    error->clear();
    QTest::mouseClick(Control(sheet, "errorPlayButton"), Qt::LeftButton);
    QTest::mouseClick(Control(sheet, "leavePlayButton"), Qt::LeftButton);
    QCOMPARE(m_sounds.Calls(),
             (QStringList{QStringLiteral("file ") + typed, QStringLiteral("builtin 203"),
                          QStringLiteral("builtin 201")}));
    // Without sound hardware a speaker gives the beep.
    m_sounds.SetHasOutputDevice(false);
    QTest::mouseClick(Control(sheet, "welcomePlayButton"), Qt::LeftButton);
    m_sounds.SetHasOutputDevice(true);
    QCOMPARE(m_sounds.Calls().last(), QStringLiteral("beep 1000 300"));
    // Playing saved nothing.
    error->setText(typed);
    QTest::mouseClick(Control(sheet, "errorPlayButton"), Qt::LeftButton);
    QTest::mouseClick(Control(sheet, "cancelButton"), Qt::LeftButton);
    QCOMPARE(m_app->GetSettings().m_strErrorSound, stored);
    QCOMPARE(StoredText("Sound", "Error"), stored);
}

void TestOptionSheet::choosersFillTheirFields() {
    COptionSheet* sheet = OpenSheet();
    ShowPage(sheet, "soundPage");
    auto* welcome = Control<QLineEdit>(sheet, "welcomeField");
    welcome->setText(QStringLiteral("/old.wav"));
    FileDialog::QueueAnswer(QString());  // Cancel
    QTest::mouseClick(Control(sheet, "welcomeFileButton"), Qt::LeftButton);
    QCOMPARE(welcome->text(), QStringLiteral("/old.wav"));
    FileDialog::QueueAnswer(QStringLiteral("/usr/share/sounds/bell.wav"));
    QTest::mouseClick(Control(sheet, "welcomeFileButton"), Qt::LeftButton);
    QCOMPARE(welcome->text(), QStringLiteral("/usr/share/sounds/bell.wav"));

    ShowPage(sheet, "logPage");
    auto* data = Control<QLineEdit>(sheet, "dataDirectoryField");
    const QString before = data->text();
    FileDialog::QueueAnswer(QString());
    QTest::mouseClick(Control(sheet, "chooseDirectoryButton"), Qt::LeftButton);
    QCOMPARE(data->text(), before);
    FileDialog::QueueAnswer(QDir::tempPath());
    QTest::mouseClick(Control(sheet, "chooseDirectoryButton"), Qt::LeftButton);
    QCOMPARE(data->text(), QDir::tempPath() + QLatin1Char('/'));
}

void TestOptionSheet::emptyNameIsAskedForOnce() {
    COptionSheet* sheet = OpenSheet();
    auto* name = Control<QLineEdit>(sheet, "nameField");
    auto* location = Control<QLineEdit>(sheet, "locationField");
    FocusOn(name);
    name->clear();
    // The box takes the focus as it comes up, and gives it back as it goes: neither is the
    // user leaving the field again.
    m_onBox = [&] {
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(name, &out);
        FocusOn(location);
    };
    FocusOn(location);
    QVERIFY(WaitFor([&] { return !m_boxes.isEmpty(); }, 2000));
    QTest::qWait(50);
    QCOMPARE(m_boxes, QStringList{QStringLiteral("You must enter a name!")});
    QCOMPARE(sheet->focusWidget(), name);

    // Leaving for another page asks too, and comes back to the name.
    m_boxes.clear();
    m_onBox = nullptr;
    QTabBar* tabs = sheet->Tabs()->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
    QVERIFY(WaitFor([&] { return !m_boxes.isEmpty(); }, 2000));
    QTest::qWait(50);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(sheet->Tabs()->currentWidget(), sheet->ProfilePage());
    QCOMPARE(sheet->focusWidget(), name);

    // The same from the keyboard.
    m_boxes.clear();
    QTest::keyClick(name, Qt::Key_Tab, Qt::ControlModifier);
    QVERIFY(WaitFor([&] { return !m_boxes.isEmpty(); }, 2000));
    QCOMPARE(sheet->Tabs()->currentWidget(), sheet->ProfilePage());
    QCOMPARE(sheet->focusWidget(), name);
    // Going to Cancel is not leaving the field for another one.
    m_boxes.clear();
    FocusOn(Control(sheet, "cancelButton"));
    QTest::qWait(50);
    QVERIFY(m_boxes.isEmpty());
    // A name typed in time is not asked for.
    FocusOn(name);
    name->setText(QStringLiteral("Ann"));
    FocusOn(location);
    QTest::qWait(50);
    QVERIFY(m_boxes.isEmpty());
}

void TestOptionSheet::unusableDataDirectoryKeepsTheSheetOpen() {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/taken");
    WriteWholeFile(file, "a file, not a directory");
    const QString held = m_app->GetSettings().m_strDataDirectory;

    COptionSheet* sheet = OpenSheet();
    ShowPage(sheet, "profilePage");
    auto* data = Control<QLineEdit>(sheet, "dataDirectoryField");
    data->setText(file + QStringLiteral("/data/"));
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    QVERIFY(sheet->isVisible());
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY(m_boxes[0].contains(file));
    QCOMPARE(sheet->Tabs()->currentWidget(), sheet->DataPage());
    QCOMPARE(sheet->focusWidget(), data);
    QCOMPARE(m_app->GetSettings().m_strDataDirectory, held);
    QCOMPARE(StoredText("Data", "Data Directory"), held);

    // A directory that can be made is made and kept.
    const QString fresh = dir.path() + QStringLiteral("/new/data");
    data->setText(fresh);
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    QVERIFY(!sheet->isVisible());
    QVERIFY(QFileInfo(fresh).isDir());
    QCOMPARE(StoredText("Data", "Data Directory"), fresh + QLatin1Char('/'));

    // Back to where the rest of the tests keep their data.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    sheet = OpenSheet();
    Control<QLineEdit>(sheet, "dataDirectoryField")->setText(held);
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    QCOMPARE(m_app->GetSettings().m_strDataDirectory, held);
}

void TestOptionSheet::newNameAnswersTheNextCheck() {
    COptionSheet* sheet = OpenSheet();
    Control<QLineEdit>(sheet, "nameField")->setText(QStringLiteral("Zoe Newname"));
    QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
    QCOMPARE(StoredText("Profiles", "Full Name"), QStringLiteral("Zoe Newname"));

    // A check from outside, answered by the running hub while this thread runs its loop.
    std::atomic<bool> done{false};
    bool reached = false;
    QString answer;
    std::thread checker([&] {
        reached = NoteRuns::CheckAddress(
            AddressEntry{QStringLiteral("me"), QStringLiteral("127.0.0.1"), m_port}, 3, answer,
            5000);
        done = true;
    });
    const bool finished = WaitFor([&] { return done.load(); }, 8000);
    checker.join();
    QVERIFY(finished);
    QVERIFY(reached);
    QCOMPARE(answer, QStringLiteral("Zoe Newname"));
}

void TestOptionSheet::addressGetFollowsTheServer() {
    QAction* get = m_app->MainFrame()->Action(Cmd::AddressGet);
    const QString server = m_app->GetSettings().m_strFtpServer;
    QVERIFY(!server.isEmpty());
    QVERIFY(get->isEnabled());
    for (const QString& typed : {QString(), server}) {
        COptionSheet* sheet = OpenSheet();
        Control<QLineEdit>(sheet, "serverField")->setText(typed);
        QTest::mouseClick(Control(sheet, "okButton"), Qt::LeftButton);
        QCOMPARE(StoredText("FTP", "Server"), typed);
        QCOMPARE(get->isEnabled(), !typed.isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QUILLPAD_TEST_GUI_MAIN(TestOptionSheet)
#include "TestOptionSheet.moc"
