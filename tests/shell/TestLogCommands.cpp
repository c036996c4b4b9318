// The main window's commands on a log: mailing it and pasting into it.
#include "LogWorkspaceFixture.h"
#include "shell/CChildFrame.h"
#include "shell/CQuillpadView.h"
#include "shell/Commands.h"
#include "shell/LogSaver.h"

class TestLogCommands : public QObject, public LogWorkspaceFixture {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void sendMailHandsOverTheMonthsLog();
    void pastedPictureIsKept();
};

void TestLogCommands::initTestCase() {
    InitTestCase();
}

void TestLogCommands::init() {
    Init();
}

void TestLogCommands::cleanup() {
    Cleanup();
}

void TestLogCommands::sendMailHandsOverTheMonthsLog() {
    // xdg-email found on the PATH first: a script of the test's that takes the file.
    QTemporaryDir bin;
    const QString handed = bin.filePath(QStringLiteral("handed"));
    const QString script = bin.filePath(QStringLiteral("xdg-email"));
    WriteWholeFile(script, "#!/bin/sh\necho \"$@\" > '" + handed.toLocal8Bit() + "'\nexit 0\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ":" + path);
    Start();
    m_workspace->HubView()->AppendLine(QStringLiteral("to be mailed"));
    m_messages.clear();
    QVERIFY(m_frame->Commands().Execute(Cmd::FileSendMail));
    const bool taken = WaitFor([&] { return ReadWholeFile(handed).endsWith('\n'); }, 5000);
    const bool boxShown = WaitFor([&] { return !m_messages.isEmpty(); }, 500);
    qputenv("PATH", path);
    QVERIFY(taken);
    QVERIFY2(!boxShown, qPrintable(m_messages.value(0)));
    // The month's log is saved first, and its file is what goes.
    QCOMPARE(ReadWholeFile(handed).trimmed(), "--attach " + MonthPath().toLocal8Bit());
    QVERIFY(FileLines(MonthPath()).contains(QStringLiteral("to be mailed")));
}

void TestLogCommands::pastedPictureIsKept() {
    Start();
    CQuillpadView* view = m_workspace->HubView();
    QImage picture(24, 16, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QApplication::clipboard()->setImage(picture);
    QVERIFY(m_frame->Commands().Execute(Cmd::EditPaste));
    view->AppendLine(QStringLiteral("after the picture"));
    // The view draws it.
    m_frame->show();
    view->Frame()->showMaximized();
    QCoreApplication::processEvents();
    const QImage shown = view->viewport()->grab().toImage();
    int red = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            red += shown.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
    }
    QVERIFY2(red >= 24 * 16, qPrintable(QString::number(red)));
    QVERIFY(m_workspace->Saver().SaveLog(view->GetDocument()));

    CQuillpadDoc reread;
    QCOMPARE(reread.Load(MonthPath(), nullptr), CQuillpadDoc::LoadResult::Read);
    QVERIFY(reread.Document()->toPlainText().contains(QChar(QChar::ObjectReplacementCharacter)));
    int pictures = 0;
    for (QTextBlock block = reread.Document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QImage image =
                reread.Document()
                    ->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()))
                    .value<QImage>();
            QCOMPARE(image.size(), QSize(24, 16));
            QCOMPARE(QColor(image.pixel(3, 3)), QColor(Qt::red));
            ++pictures;
        }
    }
    QCOMPARE(pictures, 1);
}

QUILLPAD_TEST_GUI_MAIN(TestLogCommands)
#include "TestLogCommands.moc"
