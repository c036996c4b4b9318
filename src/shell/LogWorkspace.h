#pragma once

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "shell/RecentFileList.h"

class CChildFrame;
class CMainFrame;
class IApplication;
class CQuillpadDoc;
class CQuillpadView;
class LogCommands;
class LogSaver;
class LogViewServices;
class PeriodicTimer;
class QTextCursor;

// The log documents of the main window: the document template and document manager of the
// program. It makes each document with its view in a window of the MDI area, opens and closes
// them, keeps the recent-file list, and knows the hub view. Saving is the saver's, the menu
// commands are LogCommands'.
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
    LogSaver& Saver() const { return *m_saver; }
    std::unique_ptr<PeriodicTimer> MakeTimer() const;

    // Start-up: a document named on the command line, else the month's log when its file can
    // be read, else a new month's log that already bears the file's path. False when the
    // first document could not be made.
    bool OpenAtStart(const QStringList& arguments);

    CQuillpadDoc* NewDocument();
    // Opens a log file in a window of its own; a file already open is brought to the front.
    CQuillpadDoc* OpenDocument(const QString& path);
    bool CloseDocument(CQuillpadDoc& doc);

    QList<CQuillpadDoc*> Documents() const;
    CQuillpadView* ViewOf(const CQuillpadDoc& doc) const;
    CQuillpadView* ActiveView() const;

    CQuillpadView* HubView() const;
    void SetHubView(CQuillpadView* view);
    // The hub's document holds the month's log unless another document already does. A new
    // document takes up what the month's file holds, so that its saves continue the file.
    void AdoptMonthLog(CQuillpadDoc& doc);

    // Brings the main window and view's window forward with at selected in view's log.
    void ShowInLog(CQuillpadView& view, const QTextCursor& at);

    RecentFileList& RecentFiles() { return m_recent; }
    void AddRecent(const QString& path);
    void SaveRecentFiles() const;
    // Every log view takes over new print margins (twips).
    void ApplyPrintMargins(const QMargins& margins);

    // An error box over the main window (over nothing while the window is hidden).
    void ShowError(const QString& text) const;
    // The file types of the open and save dialogs.
    static QString FileFilter();
    // The one name of a file, for telling whether two paths are the same file.
    static QString CleanPath(const QString& path);

private:
    struct Entry;

    CQuillpadDoc* CreateWindowFor(std::unique_ptr<CQuillpadDoc> doc);
    CChildFrame* MakeFrame(Entry& entry);
    void ShowInMdiArea(CChildFrame& frame);
    Entry* EntryOf(const CQuillpadDoc& doc) const;
    bool IsMonthLogOpen() const;
    bool LoadDocument(CQuillpadDoc& doc, const QString& path, QString* damage);
    // Fills a new document with what the month's file holds; false when it cannot be read.
    bool ContinueMonthFile(CQuillpadDoc& doc, const QString& monthPath);
    void ReportDamaged(const QString& path, const QString& reason) const;
    void OpenDropped(const QStringList& paths);
    void UpdateRecentMenu();
    void OpenRecent(int index);

    IApplication& m_app;
    CMainFrame& m_frame;
    LogViewServices& m_services;
    TimerFactory m_timers;
    QList<Entry*> m_entries;
    QList<Entry*> m_closing;  // closed, waiting for their views to go
    QPointer<CQuillpadView> m_hub;
    RecentFileList m_recent;
    int m_nUntitled = 0;
    std::unique_ptr<LogSaver> m_saver;
    std::unique_ptr<LogCommands> m_commands;
};
