#include "shell/CQuillpadView.h"

#include <QBuffer>
#include <QImage>
#include <QMimeData>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QUuid>

#include "app/AppFunctions.h"
#include "app/Settings.h"
#include "platform/PeriodicTimer.h"
#include "shell/CChildFrame.h"
#include "shell/CQuillpadDoc.h"
#include "shell/ControlNames.h"
#include "shell/IApplication.h"
#include "shell/LogRtf.h"
#include "shell/LogSaver.h"
#include "shell/LogViewServices.h"
#include "shell/LogWorkspace.h"
#include "shell/WindowPlacementStore.h"

namespace {

constexpr qint64 kMinuteMs = 60000;
constexpr qint64 kHourMs = 3600000;

QString ViewPlacementName(int number) {
    return QStringLiteral("%1 %2").arg(QStringLiteral("View")).arg(number);
}

}  // namespace

CQuillpadView::CQuillpadView(CQuillpadDoc& document, LogWorkspace& workspace, QWidget* parent)
    : QPlainTextEdit(parent), m_doc(document), m_workspace(workspace) {
    ControlNames::SetRole(this, QStringLiteral("logView"), tr("Log"));
    setDocument(m_doc.Document());
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_doc.Document()->setDefaultFont(LogCharFormat().font());
}

CQuillpadView::~CQuillpadView() {
    OnDestroy();
}

CChildFrame* CQuillpadView::Frame() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<CChildFrame*>(w))
            return frame;
    }
    return nullptr;
}

QTextCharFormat CQuillpadView::LogCharFormat() {
    QTextCharFormat format;
    // The face name is kept even where the desktop shows another font in its place.
    format.setFontFamilies({QString::fromLatin1(CQuillpadDoc::kFaceName)});
    format.setFontPointSize(CQuillpadDoc::kHalfPoints / 2.0);
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    format.setFontStrikeOut(false);
    format.setVerticalAlignment(QTextCharFormat::AlignNormal);
    format.clearForeground();
    return format;
}

void CQuillpadView::ApplyLogFormat(QTextDocument& document) {
    // Setting the format over a picture would make it a character of text.
    QList<int> pictures;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isImageFormat()) {
                for (int i = 0; i < fragment.length(); ++i)
                    pictures.append(fragment.position() + i);
            }
        }
    }
    pictures.append(document.characterCount() - 1);
    QTextCursor cursor(&document);
    int from = 0;
    for (const int picture : std::as_const(pictures)) {
        if (picture > from) {
            cursor.setPosition(from);
            cursor.setPosition(picture, QTextCursor::KeepAnchor);
            cursor.setCharFormat(LogCharFormat());
        }
        from = picture + 1;
    }
}

int CQuillpadView::SavePeriodMs(quint32 minutes) {
    return TimerPeriodMs(minutes, kMinuteMs, kMinuteMs);
}
int CQuillpadView::UpdatePeriodMs(quint32 hours) {
    return TimerPeriodMs(hours, kHourMs, kHourMs);
}
int CQuillpadView::BroadcastPeriodMs(quint32 minutes) {
    return TimerPeriodMs(minutes, kMinuteMs, kMinuteMs);
}

QString CQuillpadView::BannerTime(const QDateTime& when) {
    return FormatLocalTime("%I:%M:%S %p - %B %d, %y", when);
}

void CQuillpadView::AppendLine(const QString& text, bool newline) {
    if (QThread::currentThread() == thread()) {
        AppendOnThisThread(text, newline);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, text, newline] { AppendOnThisThread(text, newline); },
        Qt::BlockingQueuedConnection);
}

void CQuillpadView::AppendOnThisThread(const QString& text, bool newline) {
    // What the program appends is the log's record, not the user's edit: Undo does not take
    // it out of the log, and the undo history does not grow with every line of every note.
    // As with any change that cannot be undone, the steps before it can no longer be undone.
    QTextDocument* log = document();
    const bool undoable = log->isUndoRedoEnabled();
    log->setUndoRedoEnabled(false);
    const auto restoreUndo = qScopeGuard([log, undoable] { log->setUndoRedoEnabled(undoable); });
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    const QTextCharFormat format = LogCharFormat();
    // One change of the document: the paragraph is laid out again once, not once per insert.
    cursor.beginEditBlock();
    cursor.insertText(text, format);
    if (newline) {
        // Lines join into short paragraphs, as a read log holds them in long ones (LogRtf.h).
        const bool paragraphFull =
            cursor.block().text().count(QChar::LineSeparator) >= kAppendedLinesPerParagraph - 1;
        cursor.insertText(paragraphFull ? QStringLiteral("\r\n") : QString(QChar::LineSeparator),
                          format);
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void CQuillpadView::showEvent(QShowEvent* event) {
    QPlainTextEdit::showEvent(event);
    if (!m_bInitialUpdateDone)
        OnInitialUpdate();
}

void CQuillpadView::OnInitialUpdate() {
    if (m_bInitialUpdateDone)
        return;
    m_bInitialUpdateDone = true;
    IApplication& app = m_workspace.App();
    const Settings& settings = app.GetSettings();

    // A reopened log is shown entirely in the log's format.
    ApplyLogFormat(*document());
    QTextCursor start(document());
    start.movePosition(QTextCursor::Start);
    setTextCursor(start);
    setCurrentCharFormat(LogCharFormat());
    document()->clearUndoRedoStacks();
    document()->setModified(false);

    m_rcMargins = settings.m_rcMargins;

    if (!m_workspace.HubView()) {
        QString error;
        if (m_workspace.Services().StartListening(*this, &error)) {
            BecomeHub();
        } else {
            AppendLine(error);
            m_workspace.SetHubView(nullptr);  // so the main window says that none listens
        }
    }

    if (settings.m_bUpdateAddressBook) {
        m_updateTimer = m_workspace.MakeTimer();
        m_updateTimer->SetCallback([this] { OnUpdateTimer(); });
        m_updateTimer->Start(UpdatePeriodMs(settings.m_nUpdateInterval));
    }

    ++app.m_nLiveViewCount;
    m_bCounted = true;
    if (CChildFrame* frame = Frame()) {
        WindowPlacementStore(app.Store())
            .Restore(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                     ViewPlacementName(app.m_nLiveViewCount), *frame, false);
    }
}

void CQuillpadView::BecomeHub() {
    IApplication& app = m_workspace.App();
    const Settings& settings = app.GetSettings();
    m_bHub = true;
    m_workspace.SetHubView(this);
    // Before the banner: a new document takes up what the month's file holds.
    m_workspace.AdoptMonthLog(m_doc);
    AppendLine(QString());
    AppendLine(QString());
    AppendLine(QStringLiteral("------- Log Section Separator -------"));
    AppendLine(
        QStringLiteral("Quillpad started at %1").arg(BannerTime(QDateTime::currentDateTime())));
    AppendLine(QString());

    if (settings.m_bSaveLog) {
        m_saveTimer = m_workspace.MakeTimer();
        m_saveTimer->SetCallback([this] { m_workspace.Saver().SaveLogOnTimer(m_doc); });
        m_saveTimer->Start(SavePeriodMs(settings.m_nSaveLogInterval));
    }
    if (settings.m_bBroadcast) {
        m_broadcastTimer = m_workspace.MakeTimer();
        m_broadcastTimer->SetCallback([this] {
            QString ignored;
            m_workspace.Services().SendLogonAnnouncement(*this, &ignored);
        });
        m_broadcastTimer->Start(BroadcastPeriodMs(settings.m_nBroadcastInterval));
    }
}

void CQuillpadView::OnUpdateTimer() {
    const Settings& settings = m_workspace.App().GetSettings();
    if (settings.m_bUpdateAddressBook) {
        m_workspace.Services().UpdateAddressBooks(*this);
        m_updateTimer->Start(UpdatePeriodMs(settings.m_nUpdateInterval));
    } else {
        m_updateTimer->Start(kUpdateRetryMs);
    }
}

void CQuillpadView::OnDestroy() {
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    IApplication& app = m_workspace.App();
    if (m_bCounted) {
        if (CChildFrame* frame = Frame()) {
            WindowPlacementStore(app.Store())
                .Save(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                      ViewPlacementName(app.m_nLiveViewCount), *frame);
        }
        --app.m_nLiveViewCount;
        m_bCounted = false;
    }
    for (auto* timer : {m_saveTimer.get(), m_updateTimer.get(), m_broadcastTimer.get()}) {
        if (timer)
            timer->Stop();
    }
    if (m_bHub) {
        m_bHub = false;
        m_workspace.SetHubView(nullptr);
    }
}

bool CQuillpadView::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasImage() || QPlainTextEdit::canInsertFromMimeData(source);
}

void CQuillpadView::insertFromMimeData(const QMimeData* source) {
    if (source->hasImage()) {
        InsertPicture(qvariant_cast<QImage>(source->imageData()));
        return;
    }
    // Text keeps the log's format: only its characters are taken.
    if (source->hasText()) {
        textCursor().insertText(source->text(), LogCharFormat());
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

void CQuillpadView::InsertPicture(const QImage& image) {
    if (image.isNull())
        return;
    const QUrl name(
        QStringLiteral("picture:%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    document()->addResource(QTextDocument::ImageResource, name, image);
    QTextImageFormat format;
    format.setName(name.toString());
    format.setWidth(image.width());
    format.setHeight(image.height());
    textCursor().insertImage(format);
}
