#include <QtTest>
#include <QtWidgets>

#include "Child.h"
#include "TestSupport.h"
#include "shell/CFindReplaceDialog.h"
#include "shell/MessageBox.h"
#include "shell/TextFinder.h"

namespace {

const QString kFinished = QStringLiteral("Quillpad has finished searching the document.");

void Select(QPlainTextEdit& editor, int start, int end) {
    QTextCursor cursor(editor.document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

QPair<int, int> Selection(const QPlainTextEdit& editor) {
    const QTextCursor cursor = editor.textCursor();
    return {cursor.selectionStart(), cursor.selectionEnd()};
}

FindOptions Options(bool matchCase, bool wholeWord, bool down) {
    FindOptions options;
    options.m_bMatchCase = matchCase;
    options.m_bWholeWord = wholeWord;
    options.m_bSearchDown = down;
    return options;
}

}  // namespace

class TestFindReplace : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void findNext_data();
    void findNext();
    void largeDocument();
    void replaceAndFindNext_data();
    void replaceAndFindNext();
    void replaceAll_data();
    void replaceAll();
    void endOfDocumentTellsThenWraps_data();
    void endOfDocumentTellsThenWraps();
    void findNextRepeatsTheLastSearch();
    void replaceMode();
    void findNextNeedsText();
    void prefillFromSelection_data();
    void prefillFromSelection();
    void escapeAndCancelHide();

private:
    QList<QPair<QMessageBox::Icon, QString>> m_messages;
};

void TestFindReplace::init() {
    m_messages.clear();
    MessageBox::SetAnswerer([this](QMessageBox::Icon icon, const QString& text) {
        m_messages.append({icon, text});
        return QMessageBox::Ok;
    });
}

void TestFindReplace::cleanup() {
    MessageBox::SetAnswerer({});
}

void TestFindReplace::findNext_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<int>("selectionEnd");
    QTest::addColumn<QList<int>>("matches");

    const QString twos = QStringLiteral("one two one two");
    const QString alpha = QStringLiteral("Alpha alpha ALPHA");
    const QString words = QStringLiteral("alphabet alpha alphas");
    const QString two = QStringLiteral("two");
    const QString lower = QStringLiteral("alpha");
    QTest::newRow("down from the top")
        << twos << two << false << false << true << 0 << 0 << QList<int>{4, 12};
    QTest::newRow("down past the selected match")
        << twos << two << false << false << true << 4 << 7 << QList<int>{12};
    QTest::newRow("up from the end")
        << twos << two << false << false << false << 15 << 15 << QList<int>{12, 4};
    QTest::newRow("up past the selected match")
        << twos << two << false << false << false << 12 << 15 << QList<int>{4};
    QTest::newRow("any case") << alpha << lower << false << false << true << 0 << 0
                              << QList<int>{0, 6, 12};
    QTest::newRow("match case") << alpha << lower << true << false << true << 0 << 0
                                << QList<int>{6};
    QTest::newRow("inside words") << words << lower << false << false << true << 0 << 0
                                  << QList<int>{0, 9, 15};
    QTest::newRow("whole word") << words << lower << false << true << true << 0 << 0
                                << QList<int>{9};
    QTest::newRow("over lines") << QStringLiteral("one\ntwo\none") << QStringLiteral("one") << false
                                << false << true << 0 << 0 << QList<int>{0, 8};
    QTest::newRow("absent") << twos << QStringLiteral("three") << false << false << true << 0 << 0
                            << QList<int>{};
    QTest::newRow("empty text") << twos << QString() << false << false << true << 0 << 0
                                << QList<int>{};
}

void TestFindReplace::findNext() {
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(bool, down);
    QFETCH(int, selectionStart);
    QFETCH(int, selectionEnd);
    QFETCH(QList<int>, matches);

    QPlainTextEdit editor;
    editor.setPlainText(text);
    Select(editor, selectionStart, selectionEnd);
    const FindOptions options = Options(matchCase, wholeWord, down);
    QList<int> found;
    for (int i = 0; i < 10 && FindNext(editor, what, options); ++i) {
        const auto [start, end] = Selection(editor);
        QCOMPARE(end - start, what.size());
        QCOMPARE(editor.textCursor().selectedText().compare(what, Qt::CaseInsensitive), 0);
        found.append(start);
    }
    QCOMPARE(found, matches);
    // Running past the end leaves the last match selected.
    const QPair<int, int> last =
        matches.isEmpty() ? QPair<int, int>{selectionStart, selectionEnd}
                          : QPair<int, int>{matches.last(), matches.last() + what.size()};
    QCOMPARE(Selection(editor), last);
}

void TestFindReplace::largeDocument() {
    const int lines = 200000;
    QString text;
    text.reserve(lines * 40);
    for (int i = 0; i < lines; ++i) {
        text += QStringLiteral("line %1 of a long log window\n").arg(i);
        if (i == 5)
            text += QStringLiteral("haystack\n");
    }
    text += QStringLiteral("needle\n");
    QPlainTextEdit editor;
    editor.setPlainText(text);

    QVERIFY(FindNext(editor, QStringLiteral("needle"), Options(false, false, true)));
    QCOMPARE(editor.textCursor().block().text(), QStringLiteral("needle"));
    QVERIFY(!FindNext(editor, QStringLiteral("needle"), Options(false, false, true)));

    QVERIFY(FindNext(editor, QStringLiteral("HAYSTACK"), Options(false, true, false)));
    QCOMPARE(editor.textCursor().blockNumber(), 6);
}

void TestFindReplace::replaceAndFindNext_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("with");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("down");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<int>("selectionEnd");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("next");  // start of the next match, -1 for none

    const QString cat = QStringLiteral("cat");
    const QString dog = QStringLiteral("dog");
    const QString cats = QStringLiteral("cat cat cat");
    QTest::newRow("selected match") << cats << cat << dog << false << false << true << 0 << 3
                                    << QStringLiteral("dog cat cat") << 4;
    QTest::newRow("caret only") << cats << cat << dog << false << false << true << 0 << 0 << cats
                                << 0;
    QTest::newRow("selection is not the text")
        << cats << cat << dog << false << false << true << 0 << 2 << cats << 4;
    QTest::newRow("other case, any case")
        << QStringLiteral("Cat cat") << cat << dog << false << false << true << 0 << 3
        << QStringLiteral("dog cat") << 4;
    QTest::newRow("other case, match case")
        << QStringLiteral("Cat cat") << cat << dog << true << false << true << 0 << 3
        << QStringLiteral("Cat cat") << 4;
    QTest::newRow("part of a word, whole word")
        << QStringLiteral("cats cat") << cat << dog << false << true << true << 0 << 3
        << QStringLiteral("cats cat") << 5;
    QTest::newRow("last match") << cat << cat << dog << false << false << true << 0 << 3 << dog
                                << -1;
    QTest::newRow("replacement holds the text")
        << QStringLiteral("a b") << QStringLiteral("a") << QStringLiteral("aa") << false << false
        << true << 0 << 1 << QStringLiteral("aa b") << -1;
    QTest::newRow("up") << QStringLiteral("cat cat") << cat << dog << false << false << false << 4
                        << 7 << QStringLiteral("cat dog") << 0;
    QTest::newRow("up, replacement holds the text")
        << QStringLiteral("a a") << QStringLiteral("a") << QStringLiteral("aa") << false << false
        << false << 2 << 3 << QStringLiteral("a aa") << 0;
}

void TestFindReplace::replaceAndFindNext() {
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(QString, with);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(bool, down);
    QFETCH(int, selectionStart);
    QFETCH(int, selectionEnd);
    QFETCH(QString, expectedText);
    QFETCH(int, next);

    QPlainTextEdit editor;
    editor.setPlainText(text);
    Select(editor, selectionStart, selectionEnd);
    const bool found = ReplaceAndFindNext(editor, what, with, Options(matchCase, wholeWord, down));
    QCOMPARE(editor.toPlainText(), expectedText);
    QCOMPARE(found, next >= 0);
    if (found)
        QCOMPARE(Selection(editor), (QPair<int, int>{next, next + what.size()}));
}

void TestFindReplace::replaceAll_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("with");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("count");

    const QString cat = QStringLiteral("cat");
    const QString dog = QStringLiteral("dog");
    const QString mixed = QStringLiteral("cat Cat CAT");
    QTest::newRow("any case") << mixed << cat << dog << false << false
                              << QStringLiteral("dog dog dog") << 3;
    QTest::newRow("match case") << mixed << cat << dog << true << false
                                << QStringLiteral("dog Cat CAT") << 1;
    QTest::newRow("whole words") << QStringLiteral("cat cats cat") << cat << dog << false << true
                                 << QStringLiteral("dog cats dog") << 2;
    QTest::newRow("replacement holds the text")
        << QStringLiteral("a a") << QStringLiteral("a") << QStringLiteral("aa") << false << false
        << QStringLiteral("aa aa") << 2;
    QTest::newRow("empty replacement") << QStringLiteral("a-b-c") << QStringLiteral("-")
                                       << QString() << false << false << QStringLiteral("abc") << 2;

    QTest::newRow("none") << mixed << dog << cat << false << false << mixed << 0;
}

void TestFindReplace::replaceAll() {
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(QString, with);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QString, expectedText);
    QFETCH(int, count);

    QPlainTextEdit editor;
    editor.setPlainText(text);
    // The whole document, whatever the caret and direction.
    Select(editor, text.size(), text.size());
    QCOMPARE(ReplaceAll(editor, what, with, Options(matchCase, wholeWord, false)), count);
    QCOMPARE(editor.toPlainText(), expectedText);
    QCOMPARE(editor.document()->isUndoAvailable(), count > 0);
    if (count > 0) {
        editor.undo();
        QCOMPARE(editor.toPlainText(), text);
        QVERIFY(!editor.document()->isUndoAvailable());
    }
}

void TestFindReplace::endOfDocumentTellsThenWraps_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("down");
    QTest::addColumn<QList<int>>("starts");  // -1: the message instead of a match

    const QString one = QStringLiteral("one");
    QTest::newRow("down") << one << true << QList<int>{0, 8, -1, 0, 8};
    QTest::newRow("up") << one << false << QList<int>{8, 0, -1, 8, 0};
    QTest::newRow("absent") << QStringLiteral("three") << true << QList<int>{-1, -1};
}

void TestFindReplace::endOfDocumentTellsThenWraps() {
    QFETCH(QString, what);
    QFETCH(bool, down);
    QFETCH(QList<int>, starts);

    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("one two one"));
    Select(editor, down ? 0 : 11, down ? 0 : 11);
    CFindReplaceDialog dialog;
    dialog.SetEditor(&editor);
    dialog.ShowFind();
    Child<QLineEdit>(dialog, "findWhatEdit")->setText(what);
    Child<QRadioButton>(dialog, down ? "downRadio" : "upRadio")->setChecked(true);
    auto* findNext = Child<QPushButton>(dialog, "findNextButton");

    QPair<int, int> selection = Selection(editor);
    qsizetype told = 0;
    for (int start : starts) {
        QTest::mouseClick(findNext, Qt::LeftButton);
        if (start < 0) {
            ++told;
        } else {
            selection = {start, start + what.size()};
        }
        QCOMPARE(m_messages.size(), told);
        QCOMPARE(Selection(editor), selection);
    }
    for (const auto& [icon, text] : std::as_const(m_messages)) {
        QCOMPARE(icon, QMessageBox::Information);
        QCOMPARE(text, kFinished);
    }
}

void TestFindReplace::findNextRepeatsTheLastSearch() {
    QPlainTextEdit first;
    first.setPlainText(QStringLiteral("b a b a"));
    CFindReplaceDialog dialog;
    dialog.SetEditor(&first);

    QVERIFY(!dialog.FindNext());
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Find"));
    QVERIFY(m_messages.isEmpty());

    auto* findWhat = Child<QLineEdit>(dialog, "findWhatEdit");
    findWhat->setText(QStringLiteral("a"));
    QTest::mouseClick(Child<QPushButton>(dialog, "findNextButton"), Qt::LeftButton);
    QCOMPARE(Selection(first), (QPair<int, int>{2, 3}));
    dialog.hide();
    // What is typed but not searched for is not the last search.
    findWhat->setText(QStringLiteral("b"));
    QVERIFY(dialog.FindNext());
    QCOMPARE(Selection(first), (QPair<int, int>{6, 7}));
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.FindNext());
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(!dialog.isVisible());

    // The search follows the active editor.
    QPlainTextEdit second;
    second.setPlainText(QStringLiteral("x a"));
    dialog.SetEditor(&second);
    QVERIFY(dialog.FindNext());
    QCOMPARE(Selection(second), (QPair<int, int>{2, 3}));
    QCOMPARE(Selection(first), (QPair<int, int>{6, 7}));
}

void TestFindReplace::replaceMode() {
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("cat cat cat"));
    CFindReplaceDialog dialog;
    dialog.SetEditor(&editor);
    dialog.ShowFind();
    QVERIFY(Child<QGroupBox>(dialog, "directionGroup")->isVisible());
    QVERIFY(!Child<QLineEdit>(dialog, "replaceWithEdit")->isVisible());
    QVERIFY(!Child<QPushButton>(dialog, "replaceAllButton")->isVisible());
    // Replace works down the document whatever was chosen for Find.
    Child<QRadioButton>(dialog, "upRadio")->setChecked(true);

    dialog.ShowReplace();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Replace"));
    QVERIFY(!Child<QGroupBox>(dialog, "directionGroup")->isVisible());
    QVERIFY(Child<QLineEdit>(dialog, "replaceWithEdit")->isVisible());
    Child<QLineEdit>(dialog, "findWhatEdit")->setText(QStringLiteral("cat"));
    Child<QLineEdit>(dialog, "replaceWithEdit")->setText(QStringLiteral("dog"));
    auto* replace = Child<QPushButton>(dialog, "replaceButton");
    auto* replaceAll = Child<QPushButton>(dialog, "replaceAllButton");

    // Nothing selected: Replace only finds the first match.
    QTest::mouseClick(replace, Qt::LeftButton);
    QCOMPARE(editor.toPlainText(), QStringLiteral("cat cat cat"));
    QCOMPARE(Selection(editor), (QPair<int, int>{0, 3}));
    QTest::mouseClick(replace, Qt::LeftButton);
    QCOMPARE(editor.toPlainText(), QStringLiteral("dog cat cat"));
    QCOMPARE(Selection(editor), (QPair<int, int>{4, 7}));

    QTest::mouseClick(replaceAll, Qt::LeftButton);
    QCOMPARE(editor.toPlainText(), QStringLiteral("dog dog dog"));
    QVERIFY(m_messages.isEmpty());
    QTest::mouseClick(replaceAll, Qt::LeftButton);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.first().second, kFinished);
}

void TestFindReplace::findNextNeedsText() {
    CFindReplaceDialog dialog;
    dialog.ShowReplace();
    auto* findWhat = Child<QLineEdit>(dialog, "findWhatEdit");
    const QList<QPushButton*> buttons{Child<QPushButton>(dialog, "findNextButton"),
                                      Child<QPushButton>(dialog, "replaceButton"),
                                      Child<QPushButton>(dialog, "replaceAllButton")};
    for (QPushButton* button : buttons)
        QVERIFY(!button->isEnabled());
    QTest::keyClicks(findWhat, QStringLiteral("a"));
    for (QPushButton* button : buttons)
        QVERIFY(button->isEnabled());
    QTest::keyClick(findWhat, Qt::Key_Backspace);
    for (QPushButton* button : buttons)
        QVERIFY(!button->isEnabled());
    QVERIFY(Child<QPushButton>(dialog, "cancelButton")->isEnabled());
}

void TestFindReplace::prefillFromSelection_data() {
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<int>("selectionEnd");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one line") << 0 << 5 << QStringLiteral("first");
    QTest::newRow("two lines") << 0 << 8 << QStringLiteral("earlier");
    QTest::newRow("no selection") << 3 << 3 << QStringLiteral("earlier");
}

void TestFindReplace::prefillFromSelection() {
    QFETCH(int, selectionStart);
    QFETCH(int, selectionEnd);
    QFETCH(QString, expected);

    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("first\nsecond"));
    CFindReplaceDialog dialog;
    dialog.SetEditor(&editor);
    auto* findWhat = Child<QLineEdit>(dialog, "findWhatEdit");
    findWhat->setText(QStringLiteral("earlier"));
    Select(editor, selectionStart, selectionEnd);
    dialog.ShowFind();
    QCOMPARE(findWhat->text(), expected);
}

void TestFindReplace::escapeAndCancelHide() {
    QWidget window;
    QPointer<CFindReplaceDialog> dialog = new CFindReplaceDialog(&window);
    dialog->ShowFind();
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    dialog->ShowReplace();
    QVERIFY(dialog->isVisible());
    QTest::mouseClick(Child<QPushButton>(*dialog, "cancelButton"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog);
}

QUILLPAD_TEST_GUI_MAIN(TestFindReplace)
#include "TestFindReplace.moc"
