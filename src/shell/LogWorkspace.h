#pragma once

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "shell/RecentFileList.h"

class CChildFrame;
class CFindReplaceDialog;
class CMainFrame;
class IApplication;
class CQuillpadDoc;
class CQuillpadView;
class LogViewServices;
class PeriodicTimer;
class QPrinter;
class QTextDocument;

// The log documents of the main window and their commands: the document template and document
// manager of the program. It makes each document with its view in a window of the MDI area,
// opens, saves and closes them, keeps the recent-file list, and knows the hub view.
class LogWorkspace : public QObject {
    Q_OBJECT
public:
    using TimerFactory = std::function<std::unique_ptr<PeriodicTimer>()>;

    LogWorkspace(IApplication& app, CMainFrame& frame, LogViewServices& services,
                 TimerFactory timers = {}, QObject* parent = nullptr);
    ~LogWorkspace() override;

    IApplication& App() const { return m_app; }
    CMainFrame& Frame() const { return m_frame; }
    LogViewServices& Services() const { return m_services; }
    std::unique_ptr<PeriodicTimer> MakeTimer() const;

    // Start-up: a document named on the command line, else the month's log when its file can
    // be read, else a new month's log that already bears the file's path. False when the
    // first document could not be made.
    bool OpenAtStart(const QStringList& arguments);

    CQuillpadDoc* NewDocument();
    // Opens a log file in a window of its own; a file already open is brought to the front.
    CQuillpadDoc* OpenDocument(const QString& path);
    bool CloseDocument(CQuillpadDoc& doc);

    // Writes the month's log into the current month's file and enters it in the recent
    // files; any other document is saved to its own file (or under a name the user gives).
    // A month's file last written in another year is first renamed "<Month> <year>.qpd".
    // Every save keeps a file that another program wrote as "<name>.orig" before it first
    // writes over it; the log says so in a line.
    bool SaveLog(CQuillpadDoc& doc);
    // The periodic save: only a document that has a file is written, without asking anything.
    void SaveLogOnTimer(CQuillpadDoc& doc);
    bool Save(CQuillpadDoc& doc);
    bool SaveAs(CQuillpadDoc& doc);
    // Asked before a document's window closes: saves as above and, when the document is
    // still modified, asks the user. False keeps the window open.
    bool CanClose(CQuillpadDoc& doc);

    QList<CQuillpadDoc*> Documents() const;
    CQuillpadView* ViewOf(const CQuillpadDoc& doc) const;
    CQuillpadView* ActiveView() const;

    CQuillpadView* HubView() const;
    void SetHubView(CQuillpadView* view);
    // The hub's document holds the month's log unless another document already does. A new
    // document takes up what the month's file holds, so that its saves continue the file.
    void AdoptMonthLog(CQuillpadDoc& doc);

    RecentFileList& RecentFiles() { return m_recent; }
    void SaveRecentFiles() const;
    QPrinter& Printer();
    // Every log view takes over new print margins (twips).
    void ApplyPrintMargins(const QMargins& margins);
    // Prints a log with the given margins (twips), page by page.
    static void PrintLog(const QTextDocument& document, QPrinter& printer, const QMargins& twips);

private:
    struct Entry;

    CQuillpadDoc* CreateWindowFor(std::unique_ptr<CQuillpadDoc> doc);
    Entry* EntryOf(const CQuillpadDoc& doc) const;
    bool LoadDocument(CQuillpadDoc& doc, const QString& path, QString* damage);
    void ReportDamaged(const QString& path, const QString& reason) const;
    bool WriteDocument(CQuillpadDoc& doc, const QString& path, QString* error);
    bool KeepOriginal(CQuillpadDoc& doc, const QString& path, QString* error);
    bool KeepEarlierYear(CQuillpadDoc& doc, const QString& path, QString* error);
    void Note(CQuillpadDoc& doc, const QString& text);
    void ShowSaveError(const QString& path, const QString& error);
    void WireCommands();
    void OnFrameClosing(CChildFrame& frame, bool& accept);
    void AddRecent(const QString& path);
    void UpdateRecentMenu();
    void OpenRecent(int index);
    void OpenFileCommand();
    void PrintSetup();
    void Print();
    void PrintPreview();
    void ShowPageSetup();
    void SendMail();
    void HandToMailProgram(const QString& path);
    void PasteSpecial();
    void ShowError(const QString& text) const;
    QString FileFilter() const;

    IApplication& m_app;
    CMainFrame& m_frame;
    LogViewServices& m_services;
    TimerFactory m_timers;
    QList<Entry*> m_entries;
    QList<Entry*> m_closing;  // closed, waiting for their views to go
    QPointer<CQuillpadView> m_hub;
    RecentFileList m_recent;
    int m_nUntitled = 0;
    bool m_bSaveErrorShown = false;
    std::unique_ptr<QPrinter> m_printer;
    CFindReplaceDialog* m_find = nullptr;
};
