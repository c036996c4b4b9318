#pragma once

#include <QCoreApplication>
#include <QMargins>
#include <memory>

class CQuillpadView;
class IApplication;
class QPrinter;
class QTextDocument;
class QWidget;

// Printing of the log windows: the one printer that Print Setup, Print, Print Preview and Page
// Setup share, so that a choice made in one holds for the others.
class LogPrinter {
    Q_DECLARE_TR_FUNCTIONS(LogPrinter)
public:
    // The dialogs open over window; confirmed print margins go to app.
    LogPrinter(IApplication& app, QWidget& window);
    ~LogPrinter();
    LogPrinter(const LogPrinter&) = delete;
    LogPrinter& operator=(const LogPrinter&) = delete;

    QPrinter& Printer();
    void PrintSetup();
    void Print(const CQuillpadView& view);
    void PrintPreview(const CQuillpadView& view);
    // Shows the view's print margins in thousandths of an inch, each on a multiple of ten; the
    // margins confirmed are kept in twips and given to every log view.
    void ShowPageSetup(const CQuillpadView& view);

    // Prints a log with the given margins (twips), page by page.
    static void PrintLog(const QTextDocument& document, QPrinter& printer, const QMargins& twips);

private:
    IApplication& m_app;
    QWidget& m_window;
    std::unique_ptr<QPrinter> m_printer;
};
