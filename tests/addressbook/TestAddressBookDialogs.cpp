// The three address-book dialogs as a user works them from the Address menu of a program
// started in this process, on real book files in its data directory.
#include <QtTest>
#include <QtWidgets>

#include "Child.h"
#include "OrdinaryUser.h"
#include "RecordingSoundPlayer.h"
#include "TestSupport.h"
#include "addressbook/CAddressBookDlg.h"
#include "addressbook/CDeleteAddressBookDlg.h"
#include "addressbook/CNewAddressBookDlg.h"
#include "app/CQuillpadApp.h"
#include "message/CMessageWindow.h"
#include "shell/CMainFrame.h"
#include "shell/MessageBox.h"
#include "shell/WindowPlacementStore.h"

class TestAddressBookDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void newMakesABookOfItsDescription();
    void newRefusesWhatItCannotMake_data();
    void newRefusesWhatItCannotMake();
    void newAsksBeforeItEmptiesABook();
    void deleteRemovesTheChosenBooks();
    void editorWritesEveryChange();
    void editorChecksPortThenNameThenAddress();
    void editorKeepsAChangeItCannotWrite();
    void eachDialogOpensOnceAndKeepsItsPlace();
    void openComposeWindowSeesNewBooks();
    void cleanupTestCase();

private:
    QString Data() const { return m_app->GetSettings().m_strDataDirectory; }
    void Press(QWidget* dialog, const char* button) {
        QTest::mouseClick(Child<QAbstractButton>(*dialog, button), Qt::LeftButton);
    }
    void Type(QWidget* dialog, const char* field, const QString& text) {
        auto* edit = Child<QLineEdit>(*dialog, field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);  // typing, as textEdited is what enables Add and Update
    }
    CAddressBookDlg* OpenEditorOn(const QString& description);

    RecordingSoundPlayer m_sounds{false};
    std::unique_ptr<CQuillpadApp> m_app;
    QStringList m_boxes;
    bool m_answerYes = false;
};

void TestAddressBookDialogs::initTestCase() {
    WriteWholeFile(CurrentTestHome().StorePath(),
                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Profiles]\n"
                   "\"Full Name\"=\"Ann\"\n\n"
                   "[HKEY_CURRENT_USER\\Software\\Vexor\\Quillpad\\3.0\\Communication]\n"
                   "\"Port\"=" +
                       StoreDword(FreePort()) + "\n\"Broadcast\"=" + StoreDword(0) + "\n");
    MessageBox::SetAnswerer([this](QMessageBox::Icon, const QString& text) {
        m_boxes.append(text);
        return m_answerYes ? QMessageBox::Yes : QMessageBox::No;
    });
    m_app = std::make_unique<CQuillpadApp>(CurrentTestHome().StorePath(), m_sounds, false);
    QVERIFY(m_app->InitInstance({}));
}

void TestAddressBookDialogs::init() {
    m_boxes.clear();
    m_answerYes = false;
    for (const QString& name : QDir(Data()).entryList({QStringLiteral("*.add")}, QDir::Files)) {
        if (name != QLatin1String("OL.add") && name != QLatin1String("LS.add"))
            QFile::remove(Data() + name);
    }
}

void TestAddressBookDialogs::cleanup() {
    for (QWidget* dialog : {static_cast<QWidget*>(m_app->AddressBookDialog()),
                            static_cast<QWidget*>(m_app->DeleteAddressBookDialog()),
                            static_cast<QWidget*>(m_app->NewAddressBookDialog())}) {
        if (dialog)
            dialog->close();
    }
    CMessageWindow::DestroyAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestAddressBookDialogs::cleanupTestCase() {
    // The end of the program takes every open dialog with it, each keeping its place.
    m_app->MainFrame()->Commands().Execute(Cmd::AddressEdit);
    m_app->MainFrame()->Commands().Execute(Cmd::AddressNew);
    m_app->MainFrame()->Exit();
    m_app->ExitInstance();
    QVERIFY(!m_app->AddressBookDialog());
    QVERIFY(!m_app->NewAddressBookDialog());
    m_app.reset();
}

CAddressBookDlg* TestAddressBookDialogs::OpenEditorOn(const QString& description) {
    m_app->MainFrame()->Commands().Execute(Cmd::AddressEdit);
    CAddressBookDlg* editor = m_app->AddressBookDialog();
    auto* books = Child<QListWidget>(*editor, "bookList");
    books->setCurrentRow(
        static_cast<int>(editor->Editor().Books().m_descriptions.indexOf(description)));
    return editor;
}

void TestAddressBookDialogs::newMakesABookOfItsDescription() {
    QVERIFY(m_app->MainFrame()->Commands().Execute(Cmd::AddressNew));
    QPointer<CNewAddressBookDlg> dialog = m_app->NewAddressBookDialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("NewAddress Book"));
    // In the main window's band (Always On Top is on), or it would open behind it.
    QVERIFY(dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QSignalSpy changed(dialog.data(), &CNewAddressBookDlg::booksChanged);
    Type(dialog, "descriptionField", QStringLiteral("Team members"));
    Type(dialog, "fileNameField", QStringLiteral("Team"));
    Press(dialog, "okButton");
    QCOMPARE(ReadWholeFile(Data() + QStringLiteral("Team.add")), QByteArray("Team members"));
    QCOMPARE(changed.count(), 1);
    QVERIFY(m_boxes.isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!dialog);
    QVERIFY(!m_app->NewAddressBookDialog());

    // The editor lists it under its description.
    CAddressBookDlg* editor = OpenEditorOn(QStringLiteral("Team members"));
    QCOMPARE(editor->Editor().CurrentDescription(), QStringLiteral("Team members"));
}

void TestAddressBookDialogs::newRefusesWhatItCannotMake_data() {
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("focus");
    QTest::addColumn<QString>("told");
    QTest::newRow("no description")
        << ""
        << "Team" << QByteArray("descriptionField") << "Description can not be empty!";
    QTest::newRow("no description, no name")
        << ""
        << "" << QByteArray("descriptionField") << "Description can not be empty!";
    QTest::newRow("no file name") << "Team"
                                  << "" << QByteArray("fileNameField")
                                  << "Please enter a file name!";
    QTest::newRow("a name that leaves the directory")
        << "Team"
        << "../Team" << QByteArray("fileNameField") << "cannot be the name";
}

void TestAddressBookDialogs::newRefusesWhatItCannotMake() {
    QFETCH(QString, description);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, focus);
    QFETCH(QString, told);
    m_app->MainFrame()->Commands().Execute(Cmd::AddressNew);
    CNewAddressBookDlg* dialog = m_app->NewAddressBookDialog();
    Child<QLineEdit>(*dialog, "descriptionField")->setText(description);
    Child<QLineEdit>(*dialog, "fileNameField")->setText(fileName);
    Press(dialog, "okButton");
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].contains(told), qPrintable(m_boxes[0]));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->focusWidget(), Child<QLineEdit>(*dialog, focus.constData()));
    QCOMPARE(QDir(Data()).entryList({QStringLiteral("*.add")}, QDir::Files),
             (QStringList{QStringLiteral("LS.add"), QStringLiteral("OL.add")}));
    QVERIFY(!QFile::exists(Data() + QStringLiteral("../Team.add")));
}

void TestAddressBookDialogs::newAsksBeforeItEmptiesABook() {
    const QByteArray full = "Team members\r\nAnn;pc-ann;6001;\r\nBob;pc-bob;6001;";
    WriteWholeFile(Data() + QStringLiteral("Team.add"), full);
    for (const bool yes : {false, true}) {
        m_boxes.clear();
        m_answerYes = yes;
        m_app->MainFrame()->Commands().Execute(Cmd::AddressNew);
        QPointer<CNewAddressBookDlg> dialog = m_app->NewAddressBookDialog();
        Type(dialog, "descriptionField", QStringLiteral("Fresh"));
        Type(dialog, "fileNameField", QStringLiteral("Team"));
        Press(dialog, "okButton");
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].contains(QStringLiteral("Team.add")));
        QCOMPARE(ReadWholeFile(Data() + QStringLiteral("Team.add")),
                 yes ? QByteArray("Fresh") : full);
        // No keeps the dialog open for another name.
        QCOMPARE(dialog && dialog->isVisible(), !yes);
        if (dialog)
            dialog->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void TestAddressBookDialogs::deleteRemovesTheChosenBooks() {
    for (const char* name : {"a", "b", "c"})
        WriteWholeFile(Data() + QLatin1String(name) + QStringLiteral(".add"),
                       QByteArray("Book ") + name);
    m_app->MainFrame()->Commands().Execute(Cmd::AddressDelete);
    CDeleteAddressBookDlg* dialog = m_app->DeleteAddressBookDialog();
    auto* list = Child<QListWidget>(*dialog, "bookList");
    auto* remove = Child<QPushButton>(*dialog, "deleteButton");
    QCOMPARE(list->count(), 3);  // the recent lists are not offered
    QVERIFY(!remove->isEnabled());
    list->setCurrentRow(1);
    QVERIFY(remove->isEnabled());
    Press(dialog, "deleteButton");
    QVERIFY(!QFile::exists(Data() + QStringLiteral("b.add")));
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Book c"));
    Press(dialog, "deleteButton");
    QVERIFY(!QFile::exists(Data() + QStringLiteral("c.add")));
    QCOMPARE(list->currentItem()->text(), QStringLiteral("Book a"));
    QVERIFY(QFile::exists(Data() + QStringLiteral("a.add")));
    Press(dialog, "deleteButton");
    QCOMPARE(list->count(), 0);
    QVERIFY(!remove->isEnabled());
    QVERIFY(QFile::exists(Data() + QStringLiteral("OL.add")));
    Press(dialog, "closeButton");
    QVERIFY(!dialog->isVisible());
}

void TestAddressBookDialogs::editorWritesEveryChange() {
    const QString path = Data() + QStringLiteral("team.add");
    WriteWholeFile(path, "Team members\r\nZed;pc-zed;6001;");
    CAddressBookDlg* editor = OpenEditorOn(QStringLiteral("Team members"));
    auto* entries = Child<QListWidget>(*editor, "entryList");
    auto* add = Child<QPushButton>(*editor, "addButton");
    auto* update = Child<QPushButton>(*editor, "updateButton");
    auto* remove = Child<QPushButton>(*editor, "deleteButton");
    QCOMPARE(entries->count(), 1);
    QVERIFY(!add->isEnabled() && !update->isEnabled() && !remove->isEnabled());
    QCOMPARE(Child<QLineEdit>(*editor, "portField")->text(), QStringLiteral("6001"));

    Type(editor, "nameField", QStringLiteral("bea"));
    QVERIFY(add->isEnabled() && update->isEnabled());
    Type(editor, "addressField", QStringLiteral("10.0.0.2"));
    Press(editor, "addButton");
    QVERIFY(!add->isEnabled() && !update->isEnabled());
    QCOMPARE(entries->currentItem()->text(), QStringLiteral("bea"));
    QCOMPARE(ReadWholeFile(path),
             QByteArray("Team members\r\nbea;10.0.0.2;6001;\r\nZed;pc-zed;6001;"));

    // Choosing an entry shows it; Zed renamed Abe moves to the top.
    entries->setCurrentRow(1);
    QCOMPARE(Child<QLineEdit>(*editor, "nameField")->text(), QStringLiteral("Zed"));
    QVERIFY(remove->isEnabled());
    Type(editor, "nameField", QStringLiteral("Abe"));
    Press(editor, "updateButton");
    QCOMPARE(entries->item(0)->text(), QStringLiteral("Abe"));
    QCOMPARE(entries->currentRow(), 0);
    QCOMPARE(ReadWholeFile(path),
             QByteArray("Team members\r\nAbe;pc-zed;6001;\r\nbea;10.0.0.2;6001;"));

    // Delete shows the entry that takes the place, and the last one leaves an empty book.
    Press(editor, "deleteButton");
    QCOMPARE(Child<QLineEdit>(*editor, "nameField")->text(), QStringLiteral("bea"));
    Press(editor, "deleteButton");
    QCOMPARE(entries->count(), 0);
    QVERIFY(!remove->isEnabled());
    QVERIFY(Child<QLineEdit>(*editor, "nameField")->text().isEmpty());
    QCOMPARE(ReadWholeFile(path), QByteArray("Team members"));
    QVERIFY(m_boxes.isEmpty());

    // Clear puts the default port back and disables Add and Update.
    Type(editor, "portField", QStringLiteral("7000"));
    Press(editor, "clearButton");
    QCOMPARE(Child<QLineEdit>(*editor, "portField")->text(), QStringLiteral("6001"));
    QVERIFY(!add->isEnabled());
}

void TestAddressBookDialogs::editorChecksPortThenNameThenAddress() {
    const QString path = Data() + QStringLiteral("team.add");
    WriteWholeFile(path, "Team members");
    CAddressBookDlg* editor = OpenEditorOn(QStringLiteral("Team members"));
    Type(editor, "portField", QStringLiteral("65536"));
    Press(editor, "addButton");
    QCOMPARE(editor->focusWidget(), Child<QLineEdit>(*editor, "portField"));
    Type(editor, "portField", QStringLiteral("65535"));
    Press(editor, "addButton");
    QCOMPARE(editor->focusWidget(), Child<QLineEdit>(*editor, "nameField"));
    Type(editor, "nameField", QStringLiteral("Ann"));
    Press(editor, "addButton");
    QCOMPARE(editor->focusWidget(), Child<QLineEdit>(*editor, "addressField"));
    QCOMPARE(m_boxes.size(), 3);
    QVERIFY(m_boxes[0].contains(QStringLiteral("65535")));
    QCOMPARE(m_boxes[1], QStringLiteral("You must enter a name!"));
    QCOMPARE(m_boxes[2], QStringLiteral("You must enter an IP address or machine name!"));
    QCOMPARE(ReadWholeFile(path), QByteArray("Team members"));

    // Fields typed with no book chosen are written nowhere.
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_boxes.clear();
    m_app->MainFrame()->Commands().Execute(Cmd::AddressEdit);
    editor = m_app->AddressBookDialog();
    Type(editor, "nameField", QStringLiteral("Ann"));
    Type(editor, "addressField", QStringLiteral("pc"));
    Press(editor, "addButton");
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(ReadWholeFile(path), QByteArray("Team members"));
}

void TestAddressBookDialogs::editorKeepsAChangeItCannotWrite() {
    const QString path = Data() + QStringLiteral("team.add");
    WriteWholeFile(path, "Team members\r\nAnn;pc;6001;");
    CAddressBookDlg* editor = OpenEditorOn(QStringLiteral("Team members"));
    Type(editor, "nameField", QStringLiteral("Bob"));
    Type(editor, "addressField", QStringLiteral("pc-bob"));
    const QString directory = QFileInfo(path).absolutePath();
    QFile::setPermissions(directory, QFile::ReadOwner | QFile::ExeOwner);
    AsOrdinaryUser([&] { Press(editor, "addButton"); });
    QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(m_boxes, QStringList{QStringLiteral("Unable to update address book [Team members]")});
    QCOMPARE(Child<QListWidget>(*editor, "entryList")->count(), 2);
    QCOMPARE(ReadWholeFile(path), QByteArray("Team members\r\nAnn;pc;6001;"));
}

void TestAddressBookDialogs::eachDialogOpensOnceAndKeepsItsPlace() {
    WriteWholeFile(Data() + QStringLiteral("team.add"), "Team members\r\nAnn;pc;6001;");
    CAddressBookDlg* editor = OpenEditorOn(QStringLiteral("Team members"));
    Type(editor, "nameField", QStringLiteral("half typed"));
    editor->move(123, 98);
    const QRect where = editor->geometry();
    // Again: the same dialog, as it was (not read anew).
    m_app->MainFrame()->Commands().Execute(Cmd::AddressEdit);
    QCOMPARE(m_app->AddressBookDialog(), editor);
    QCOMPARE(Child<QLineEdit>(*editor, "nameField")->text(), QStringLiteral("half typed"));
    QCOMPARE(editor->Editor().CurrentBook(), 0);

    QPointer<CAddressBookDlg> gone = editor;
    Press(editor, "closeButton");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!gone);
    QVERIFY(!m_app->AddressBookDialog());
    QRect saved;
    QVERIFY(WindowPlacementStore(m_app->Store())
                .ReadRect(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                          QStringLiteral("Address Book"), saved));
    QCOMPARE(saved, where);

    // A fresh one, where the last one was.
    m_app->MainFrame()->Commands().Execute(Cmd::AddressEdit);
    editor = m_app->AddressBookDialog();
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->geometry(), where);
    QVERIFY(Child<QLineEdit>(*editor, "nameField")->text().isEmpty());
}

void TestAddressBookDialogs::openComposeWindowSeesNewBooks() {
    WriteWholeFile(Data() + QStringLiteral("team.add"), "Team members\r\nAnn;pc-ann;6001;");
    QVERIFY(m_app->MainFrame()->Commands().Execute(Cmd::SendMessage));
    CMessageWindow* compose = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<CMessageWindow*>(widget); window && window->isVisible())
            compose = window;
    }
    QVERIFY(compose);
    auto* books = Child<QListWidget>(*compose, "bookList");
    auto* addresses = Child<QListWidget>(*compose, "addressList");
    books->setCurrentRow(static_cast<int>(
        compose->Listing().m_descriptions.indexOf(QStringLiteral("Team members"))));
    QCOMPARE(addresses->count(), 1);

    // A book made with New and a person added with the editor, while the window is open.
    m_app->MainFrame()->Commands().Execute(Cmd::AddressNew);
    CNewAddressBookDlg* made = m_app->NewAddressBookDialog();
    Type(made, "descriptionField", QStringLiteral("Night shift"));
    Type(made, "fileNameField", QStringLiteral("night"));
    Press(made, "okButton");
    CAddressBookDlg* editor = OpenEditorOn(QStringLiteral("Team members"));
    Type(editor, "nameField", QStringLiteral("Bob"));
    Type(editor, "addressField", QStringLiteral("pc-bob"));
    Press(editor, "addButton");

    // Back in the list of books, the window shows both.
    compose->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(compose));
    books->setFocus(Qt::MouseFocusReason);
    QVERIFY(compose->Listing().m_descriptions.contains(QStringLiteral("Night shift")));
    QCOMPARE(books->currentItem()->text(), QStringLiteral("Team members"));
    QCOMPARE(addresses->count(), 2);
}

QUILLPAD_TEST_GUI_MAIN(TestAddressBookDialogs)
#include "TestAddressBookDialogs.moc"
