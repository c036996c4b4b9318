// Printing a log: a log longer than a page prints page by page, to a PDF file here.
#include <QPlainTextEdit>
#include <QPrinter>
#include <QtTest>

#include "TestSupport.h"
#include "shell/CQuillpadDoc.h"
#include "shell/CQuillpadView.h"
#include "shell/LogPrinter.h"

class TestLogPrinter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void printsToPdf();
};

void TestLogPrinter::printsToPdf() {
    CQuillpadDoc doc;
    QPlainTextEdit window;  // a log window lays its document out as plain text
    window.setDocument(doc.Document());
    QTextCursor cursor(doc.Document());
    for (int i = 0; i < 200; ++i)
        cursor.insertText(QStringLiteral("printed line %1\n").arg(i),
                          CQuillpadView::LogCharFormat());
    const QString pdf = CurrentTestHome().Path() + QStringLiteral("/log.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    LogPrinter::PrintLog(*doc.Document(), printer, QMargins(715, 715, 715, 715));
    const QByteArray bytes = ReadWholeFile(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    QVERIFY(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                bytes.count("/Type /Page ") >=
            2);
}

QUILLPAD_TEST_GUI_MAIN(TestLogPrinter)
#include "TestLogPrinter.moc"
