#pragma once

#include <QMargins>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <memory>

class CChildFrame;
class CQuillpadDoc;
class LogWorkspace;
class PeriodicTimer;

// The log shown in its own window: text in the log's format, with pictures. A plain-text
// layout keeps opening and appending to a month's log independent of its size. The first view whose
// listening start succeeds is the hub: it writes the start banner, owns the sockets and saves and
// announces periodically. Every view fetches address books periodically.
class CQuillpadView : public QPlainTextEdit {
    Q_OBJECT
public:
    CQuillpadView(CQuillpadDoc& document, LogWorkspace& workspace, QWidget* parent = nullptr);
    ~CQuillpadView() override;

    CQuillpadDoc& GetDocument() const { return m_doc; }
    CChildFrame* Frame() const;
    bool IsHub() const { return m_bHub; }

    // Appends text (and a line end when newline is set) at the very end of the log, whatever
    // is selected. Callable from any thread: the append runs on the user-interface thread and
    // the caller waits for it.
    void AppendLine(const QString& text, bool newline = true);

    // The first-display work: the log format, the hub role and the timers. Runs once, when
    // the view is first shown.
    void OnInitialUpdate();
    // The view's window is closing: its placement is saved, its timers stop, and the hub role
    // ends with it.
    void OnDestroy();

    const QMargins& PrintMargins() const { return m_rcMargins; }
    void SetPrintMargins(const QMargins& margins) { m_rcMargins = margins; }

    // The log's character format: "Times New Roman", 10 points.
    static QTextCharFormat LogCharFormat();
    // Puts all text of a document in the log's format; pictures keep theirs.
    static void ApplyLogFormat(QTextDocument& document);

    // Timers 1 (save), 2 (address-book update) and 4 (announcement); null while not running.
    PeriodicTimer* SaveTimer() const { return m_saveTimer.get(); }
    PeriodicTimer* UpdateTimer() const { return m_updateTimer.get(); }
    PeriodicTimer* BroadcastTimer() const { return m_broadcastTimer.get(); }

    // Periods in milliseconds; a stored 0 means one unit, so that nothing fires without pause.
    static int SavePeriodMs(quint32 minutes);
    static int UpdatePeriodMs(quint32 hours);
    static int BroadcastPeriodMs(quint32 minutes);
    static constexpr int kUpdateRetryMs = 600000;  // while updating is off

    // The start banner's time, "%I:%M:%S %p - %B %d, %y".
    static QString BannerTime(const QDateTime& when);

protected:
    void showEvent(QShowEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

public:
    // Inserts a picture at the caret; it is kept in the log as PNG.
    void InsertPicture(const QImage& image);

private:
    void AppendOnThisThread(const QString& text, bool newline);
    void BecomeHub();
    void OnUpdateTimer();

    CQuillpadDoc& m_doc;
    LogWorkspace& m_workspace;
    bool m_bHub = false;
    bool m_bInitialUpdateDone = false;
    bool m_bCounted = false;
    bool m_bDestroyed = false;
    QMargins m_rcMargins;
    std::unique_ptr<PeriodicTimer> m_saveTimer;
    std::unique_ptr<PeriodicTimer> m_updateTimer;
    std::unique_ptr<PeriodicTimer> m_broadcastTimer;
};
