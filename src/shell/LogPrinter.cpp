#include "shell/LogPrinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QTextFrame>

#include "shell/CQuillpadView.h"
#include "shell/IApplication.h"
#include "shell/PageMargins.h"

LogPrinter::LogPrinter(IApplication& app, QWidget& window) : m_app(app), m_window(window) {}

LogPrinter::~LogPrinter() = default;

void LogPrinter::PrintLog(const QTextDocument& document, QPrinter& printer, const QMargins& twips) {
    printer.setFullPage(false);
    printer.setPageMargins(QMarginsF(twips.left() / 20.0, twips.top() / 20.0, twips.right() / 20.0,
                                     twips.bottom() / 20.0),
                           QPageLayout::Point);
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->documentLayout()->setPaintDevice(&printer);
    QTextFrameFormat root = copy->rootFrame()->frameFormat();
    root.setMargin(0);
    copy->rootFrame()->setFrameFormat(root);
    copy->setPageSize(printer.pageRect(QPrinter::DevicePixel).size());
    copy->print(&printer);
}

QPrinter& LogPrinter::Printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void LogPrinter::PrintSetup() {
    QPrintDialog dialog(&Printer(), &m_window);
    dialog.setWindowTitle(tr("Print Setup"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    dialog.exec();
}

void LogPrinter::Print(const CQuillpadView& view) {
    QPrintDialog dialog(&Printer(), &m_window);
    if (dialog.exec() == QDialog::Accepted)
        PrintLog(*view.document(), Printer(), view.PrintMargins());
}

void LogPrinter::PrintPreview(const CQuillpadView& view) {
    QPrintPreviewDialog preview(&Printer(), &m_window);
    preview.setObjectName(QStringLiteral("printPreview"));
    QObject::connect(
        &preview, &QPrintPreviewDialog::paintRequested, &preview,
        [&view](QPrinter* printer) { PrintLog(*view.document(), *printer, view.PrintMargins()); });
    preview.exec();
}

void LogPrinter::ShowPageSetup(const CQuillpadView& view) {
    const QMargins shown = PageMargins::TwipsToShown(view.PrintMargins());
    QPrinter& printer = Printer();
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(QPageLayout::Inch);
    layout.setMargins(QMarginsF(shown.left() / 1000.0, shown.top() / 1000.0, shown.right() / 1000.0,
                                shown.bottom() / 1000.0));
    printer.setPageLayout(layout);
    QPageSetupDialog dialog(&printer, &m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QMarginsF inches = printer.pageLayout().margins(QPageLayout::Inch);
    const QMargins twips = PageMargins::ShownToTwips(
        QMargins(qRound(inches.left() * 1000), qRound(inches.top() * 1000),
                 qRound(inches.right() * 1000), qRound(inches.bottom() * 1000)));
    m_app.SetPrintMargins(twips.left(), twips.top(), twips.right(), twips.bottom());
}
