#include "message/CMessageWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QListWidget>
#include <QMutex>
#include <QPainter>
#include <QScrollBar>
#include <QSemaphore>
#include <QTcpSocket>
#include <QThread>
#include <QToolBar>
#include <QToolButton>

#include "addressbook/RecentListWriter.h"
#include "app/AppFunctions.h"
#include "app/Settings.h"
#include "message/IMessageHost.h"
#include "message/NoteBlocks.h"
#include "net/CNoteSocket.h"
#include "net/NoteRuns.h"
#include "shell/CQuillpadView.h"
#include "shell/ControlNames.h"
#include "shell/IApplication.h"
#include "shell/MessageBox.h"
#include "shell/Resources.h"
#include "shell/SoundSpec.h"
#include "shell/WindowPlacementStore.h"
#include "ui_CMessageWindow.h"

namespace {

constexpr int kItemIndexRole = Qt::UserRole;
constexpr int kItemMarkRole = Qt::UserRole + 1;
// The mark drawn when a note is longer than the note area holds.
constexpr const char* kCutMark = "[... the rest of this note is in the log]";

struct ButtonInfo {
    int id;
    const char* label;
    const char* toolTip;
    const char* image;
};

// clang-format off
const ButtonInfo kButtons[] = {
    {CMessageWindow::ID_TO, QT_TRANSLATE_NOOP("CMessageWindow", "To:"), QT_TRANSLATE_NOOP("CMessageWindow", "Add selected names in the address book to the recipient list"), "to"},
    {CMessageWindow::ID_CLEAR, QT_TRANSLATE_NOOP("CMessageWindow", "Clear"), QT_TRANSLATE_NOOP("CMessageWindow", "Clear recipient list"), "clear"},
    {CMessageWindow::ID_SELECT, QT_TRANSLATE_NOOP("CMessageWindow", "Select"), QT_TRANSLATE_NOOP("CMessageWindow", "Select all addresses in the current book"), "select"},
    {CMessageWindow::ID_DESELECT, QT_TRANSLATE_NOOP("CMessageWindow", "Deselect"), QT_TRANSLATE_NOOP("CMessageWindow", "Clear current address selection"), "deselect"},
    {CMessageWindow::ID_SEND, QT_TRANSLATE_NOOP("CMessageWindow", "Send"), QT_TRANSLATE_NOOP("CMessageWindow", "Send your note"), "send"},
    {CMessageWindow::ID_REPLY, QT_TRANSLATE_NOOP("CMessageWindow", "Reply"), QT_TRANSLATE_NOOP("CMessageWindow", "Switch to reply mode"), "reply"},
    {CMessageWindow::ID_CHECK, QT_TRANSLATE_NOOP("CMessageWindow", "Check"), QT_TRANSLATE_NOOP("CMessageWindow", "Check to see if your friend is listening to you"), "check"},
    {CMessageWindow::ID_ERASE, QT_TRANSLATE_NOOP("CMessageWindow", "Erase"), QT_TRANSLATE_NOOP("CMessageWindow", "Erase your note"), "erase"},
    {CMessageWindow::ID_EXIT, QT_TRANSLATE_NOOP("CMessageWindow", "Exit"), QT_TRANSLATE_NOOP("CMessageWindow", "Close this window"), "exit"},
};
// clang-format on

QIcon DrawMarkIcon(int mark) {
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(1, 1, 11, 11);
    if (mark == CMessageWindow::Listening) {
        painter.setPen(QPen(QColor(0, 128, 0), 2));
        painter.drawPolyline(QPolygon({QPoint(3, 7), QPoint(6, 10), QPoint(11, 3)}));
    } else if (mark == CMessageWindow::NotListening) {
        painter.setPen(QPen(QColor(192, 0, 0), 2));
        painter.drawLine(3, 3, 10, 10);
        painter.drawLine(10, 3, 3, 10);
    } else {
        painter.setPen(QPen(Qt::gray, 1));
        painter.drawText(QRect(1, 1, 12, 12), Qt::AlignCenter, QStringLiteral("?"));
    }
    return QIcon(pixmap);
}

// Icons are made once and shared by every window, so that each keeps its cached pixmaps
// (disabled buttons included): a burst of incoming notes then costs no icon work per window.
const QIcon& MarkIcon(int mark) {
    static const QIcon icons[3] = {DrawMarkIcon(0), DrawMarkIcon(1), DrawMarkIcon(2)};
    return icons[qBound(0, mark, 2)];
}

const QIcon& ButtonIcon(int index) {
    static const QList<QIcon> icons = [] {
        Resources::Init();
        QList<QIcon> made;
        for (const ButtonInfo& button : kButtons) {
            QIcon icon;
            for (int size : {16, 32})
                icon.addFile(QStringLiteral(":/toolbar/icons/message/%1-%2.png")
                                 .arg(QLatin1String(button.image))
                                 .arg(size));
            made.append(icon);
        }
        return made;
    }();
    return icons[index];
}

}  // namespace

// What a run shares with its window. The window can go while its run goes on (with the
// program): it then cuts the link under the lock, and from then on the run reaches it no more
// and stops at its next step.
struct RunLink {
    explicit RunLink(CMessageWindow* window) : m_window(window) {}
    QMutex m_mutex;
    CMessageWindow* m_window;  // null once the window is going
    std::atomic<bool> m_bCancelled{false};
};

// Carries what a Send or Check run reports to the window, on the window's thread, in order;
// the run waits for each, but never past the window's going.
class WindowRunReporter : public IRunReporter {
public:
    // What a run needs beyond its window, taken when it starts: the run never reads the
    // settings, which Preferences may be writing meanwhile.
    struct Context {
        const IApplication* m_app;  // plays the sounds; outlives every window
        SoundSpec m_errorSound;
        std::shared_ptr<RecentListWriter> m_recentLists;
        QString m_strDataDirectory;
    };

    WindowRunReporter(std::shared_ptr<RunLink> link, Context context)
        : m_link(std::move(link)), m_context(std::move(context)) {}

    void RunStarted() override {}
    void RunFinished() override {}
    void SetStatus(const QString& text) override {
        OnWindow([text](CMessageWindow* w) { w->SetStatus(text); });
    }
    void SetProgressRange(int count) override {
        OnWindow([count](CMessageWindow* w) {
            w->m_ui->progressBar->setRange(0, count);
            w->m_ui->progressBar->setValue(0);
        });
    }
    void StepProgress() override {
        OnWindow([](CMessageWindow* w) {
            w->m_ui->progressBar->setValue(w->m_ui->progressBar->value() + 1);
            w->m_ui->progressBar->repaint();
        });
    }
    void AppendLog(const QString& line) override {
        OnWindow([line](CMessageWindow* w) { w->Log(line); });
    }
    void PlayErrorSound() override {
        // Played here: a built-in sound holds only this run's thread until it has ended.
        if (!IsCancelled())
            m_context.m_app->PlayNotificationSound(m_context.m_errorSound);
    }
    void RecipientReached(const AddressEntry& entry) override {
        if (!IsCancelled())
            m_context.m_recentLists->Push(m_context.m_strDataDirectory,
                                          QLatin1String(kLastSendersFile),
                                          QString::fromLatin1(kLastSendersDescription), {entry});
    }
    void SetMark(int index, int mark) override {
        OnWindow([index, mark](CMessageWindow* w) { w->SetMark(index, mark); });
    }
    void SetFullName(int index, const QString& fullName) override {
        OnWindow([index, fullName](CMessageWindow* w) { w->SetFullName(index, fullName); });
    }
    bool IsCancelled() const override { return m_link->m_bCancelled; }

    // Runs work on the window's thread and waits until it has run, or until the window goes.
    template <typename F>
    void OnWindow(F work) {
        auto done = std::make_shared<QSemaphore>();
        {
            const QMutexLocker lock(&m_link->m_mutex);
            CMessageWindow* window = m_link->m_window;
            if (!window)
                return;
            // A window that goes first drops the call with its other posted events.
            QMetaObject::invokeMethod(
                window,
                [window, work = std::move(work), done] {
                    work(window);
                    done->release();
                },
                Qt::QueuedConnection);
        }
        while (!done->tryAcquire(1, kRunWaitSliceMs)) {
            if (IsCancelled())
                return;
        }
    }

private:
    static constexpr int kRunWaitSliceMs = 100;

    std::shared_ptr<RunLink> m_link;
    Context m_context;
};

CMessageWindow::CMessageWindow(IMessageHost& host, CQuillpadView* logView, bool incoming)
    : QDialog(nullptr),
      m_ui(std::make_unique<Ui::CMessageWindow>()),
      m_host(host),
      m_logView(logView),
      m_bIncoming(incoming) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("messageWindow"));
    ControlNames::NameAfterCaption(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Qt::WindowFlags flags = Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    // A main window kept above all others would otherwise cover every note as it pops up.
    flags.setFlag(Qt::WindowStaysOnTopHint, host.App().GetSettings().m_bAlwaysOnTop != 0);
    setWindowFlags(flags);
    setWindowIcon(Resources::ProgramIcon());
    setWindowTitle(tr("Message"));
    BuildToolBar();

    connect(m_ui->bookList, &QListWidget::itemSelectionChanged, this,
            &CMessageWindow::OnBookSelected);
    m_ui->bookList->installEventFilter(this);
    connect(m_ui->addressList, &QListWidget::itemSelectionChanged, this,
            &CMessageWindow::OnAddressSelectionChanged);
    connect(m_ui->addressList, &QListWidget::currentItemChanged, this,
            &CMessageWindow::OnAddressSelectionChanged);
    connect(m_ui->addressList, &QListWidget::itemDoubleClicked, this,
            &CMessageWindow::OnAddressDoubleClicked);
    connect(m_ui->noteArea->document(), &QTextDocument::contentsChange, this,
            &CMessageWindow::KeepNoteWithinLimit);

    // The question about address books is asked only of a user who opens a window to write:
    // a hidden window for an incoming note must not hold up its delivery.
    FillBookList(!m_bIncoming);

    IApplication& app = m_host.App();
    ++app.m_nMessageWindowCount;
    WindowPlacementStore(app.Store())
        .Restore(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                 QStringLiteral("Message %1").arg(app.m_nMessageWindowCount), *this, m_bIncoming);
}

CMessageWindow::~CMessageWindow() {
    OnClosing();
    if (m_run) {
        const QMutexLocker lock(&m_run->m_mutex);
        m_run->m_window = nullptr;
        m_run->m_bCancelled = true;
    }
    if (m_worker) {
        // Only at the end of the program can a window go while its run goes on. Every wait
        // of the run gives up within a tenth of a second of the cancel; as the run reaches
        // this window no more, one that takes longer is left to end on its own.
        connect(m_worker, &QThread::finished, m_worker, &QObject::deleteLater);
        if (m_worker->wait(kRunStopWaitMs))
            delete m_worker;
    }
}

void CMessageWindow::BuildToolBar() {
    m_toolBar = new QToolBar(this);
    ControlNames::SetRole(m_toolBar, QStringLiteral("messageToolBar"), tr("Toolbar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(16, 16));
    int index = 0;
    for (const ButtonInfo& button : kButtons) {
        QAction* action = m_toolBar->addAction(ButtonIcon(index++), tr(button.label));
        action->setObjectName(QLatin1String(button.image) + QStringLiteral("Command"));
        action->setData(button.id);
        action->setToolTip(tr(button.toolTip).left(79));
        const int id = button.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        QWidget* widget = m_toolBar->widgetForAction(action);
        ControlNames::SetRole(widget, QLatin1String(button.image) + QStringLiteral("Button"),
                              ControlNames::Words(tr(button.label)));
        action->setEnabled(id == ID_ERASE || id == ID_EXIT);
    }
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_toolBar);
}

void CMessageWindow::EnableCommand(int id, bool enabled) {
    for (QAction* action : m_toolBar->actions()) {
        if (action->data().toInt() == id)
            action->setEnabled(enabled);
    }
}

bool CMessageWindow::IsCommandEnabled(int id) const {
    for (const QAction* action : m_toolBar->actions()) {
        if (action->data().toInt() == id)
            return action->isEnabled();
    }
    return false;
}

void CMessageWindow::DestroyAll() {
    QList<QPointer<CMessageWindow>> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<CMessageWindow*>(widget))
            windows.append(window);
    }
    for (const QPointer<CMessageWindow>& window : windows)
        delete window.data();
}

int CMessageWindow::UnsentNoteCount() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<CMessageWindow*>(widget);
            window && window->HoldsUnsentNote())
            ++count;
    }
    return count;
}

bool CMessageWindow::HoldsUnsentNote() const {
    // A received note is read-only until Reply; a note is a draft once typed and until sent.
    const QString text = m_ui->noteArea->toPlainText();
    return !m_ui->noteArea->isReadOnly() && !text.trimmed().isEmpty() && text != m_strSentBody;
}

void CMessageWindow::FillBookList(bool mayAsk) {
    const Settings& settings = m_host.App().GetSettings();
    m_listing = ListAddressBooks(settings.m_strDataDirectory, false);
    if (mayAsk && m_listing.Count() <= 2 && !settings.m_strFtpServer.isEmpty() &&
        MessageBox::Question(this,
                             tr("You do not have any address book! Do you wish to get one now?"))) {
        // The books are listed again once they are in.
        QPointer<CMessageWindow> self(this);
        m_host.GetAddressBooks(this, [self] {
            if (self)
                self->FillBookList(false);
        });
    }
    const QSignalBlocker block(m_ui->bookList);
    m_ui->bookList->clear();
    m_ui->bookList->addItems(m_listing.m_descriptions);
}

void CMessageWindow::RefreshBooks() {
    const int row = m_ui->bookList->currentRow();
    const QString chosen = row >= 0 && row < m_listing.Count() ? m_listing.m_paths[row] : QString();
    const BookListing fresh =
        ListAddressBooks(m_host.App().GetSettings().m_strDataDirectory, false);
    if (fresh.m_paths != m_listing.m_paths || fresh.m_descriptions != m_listing.m_descriptions) {
        m_listing = fresh;
        const QSignalBlocker block(m_ui->bookList);
        m_ui->bookList->clear();
        m_ui->bookList->addItems(m_listing.m_descriptions);
        m_ui->bookList->setCurrentRow(static_cast<int>(m_listing.m_paths.indexOf(chosen)));
    }
    if (chosen.isEmpty())
        return;
    // The chosen book gone or changed: its addresses are shown again.
    QList<AddressEntry> shown;
    for (const RecipientEntry& item : std::as_const(m_addressItems))
        shown.append(item.m_entry);
    if (!m_listing.m_paths.contains(chosen) ||
        ReadBookEntries(chosen).value_or(QList<AddressEntry>()) != shown)
        OnBookSelected();
}

bool CMessageWindow::eventFilter(QObject* watched, QEvent* event) {
    // Books made, changed or deleted since the window opened show when the user comes back to
    // the list of books.
    if (watched == m_ui->bookList && event->type() == QEvent::FocusIn)
        RefreshBooks();
    return QDialog::eventFilter(watched, event);
}

void CMessageWindow::OnBookSelected() {
    if (m_bAddressesLoaded) {
        const QSignalBlocker block(m_ui->addressList);
        m_ui->addressList->clear();
        m_addressItems.clear();
        m_bAddressesLoaded = false;
    }
    EnableCommand(ID_TO, false);
    EnableCommand(ID_SELECT, true);
    EnableCommand(ID_DESELECT, false);
    EnableCommand(ID_CHECK, false);
    const int row = m_ui->bookList->currentRow();
    const QString path = row >= 0 && row < m_listing.Count() ? m_listing.m_paths[row] : QString();
    if (path.isEmpty())
        return;
    // A book that cannot be read shows as an empty list.
    const QList<AddressEntry> entries = ReadBookEntries(path).value_or(QList<AddressEntry>());
    const QSignalBlocker block(m_ui->addressList);
    m_ui->addressList->setSortingEnabled(false);
    for (const AddressEntry& entry : entries) {
        auto* item = new QListWidgetItem(entry.m_strName);
        item->setData(kItemIndexRole, static_cast<int>(m_addressItems.size()));
        item->setData(kItemMarkRole, Unknown);
        item->setIcon(MarkIcon(Unknown));
        m_addressItems.append(RecipientEntry{entry, QString()});
        m_ui->addressList->addItem(item);
    }
    m_ui->addressList->setSortingEnabled(true);
    m_ui->addressList->sortItems();
    m_bAddressesLoaded = true;
}

void CMessageWindow::OnAddressSelectionChanged() {
    const bool any = !m_ui->addressList->selectedItems().isEmpty();
    EnableCommand(ID_TO, any);
    EnableCommand(ID_DESELECT, any);
    EnableCommand(ID_CHECK, any);
    if (QListWidgetItem* current = m_ui->addressList->currentItem()) {
        const int index = current->data(kItemIndexRole).toInt();
        SetStatus(QStringLiteral("REAL NAME: ") + m_addressItems.value(index).m_strFullName);
    }
}

void CMessageWindow::OnAddressDoubleClicked(QListWidgetItem* item) {
    if (IsBusy() || !item)
        return;
    AddRecipient(m_addressItems.value(item->data(kItemIndexRole).toInt()));
    item->setSelected(false);
    EnableCommand(ID_TO, false);
    EnableCommand(ID_CHECK, false);
    EnableCommand(ID_CLEAR, true);
    EnableCommand(ID_SEND, true);
}

void CMessageWindow::AddRecipient(const RecipientEntry& entry) {
    m_recipients.append(entry);
    m_bRecipientsPresent = true;
    QPlainTextEdit* field = m_ui->recipientField;
    const QString text = field->toPlainText() + entry.m_entry.m_strName + QLatin1Char(';');
    field->setPlainText(text.left(kRecipientFieldLimit));
    field->moveCursor(QTextCursor::End);
}

void CMessageWindow::Deselect() {
    m_ui->addressList->clearSelection();
    EnableCommand(ID_TO, false);
    EnableCommand(ID_DESELECT, false);
    EnableCommand(ID_CHECK, false);
}

void CMessageWindow::ClearRecipients() {
    m_ui->recipientField->clear();
    EnableCommand(ID_CLEAR, false);
    EnableCommand(ID_SEND, false);
    m_recipients.clear();
    m_bRecipientsPresent = false;
    Deselect();
}

void CMessageWindow::OnCommand(int id) {
    if (IsBusy()) {
        PlayErrorSound();
        return;
    }
    if (!IsCommandEnabled(id))
        return;
    switch (id) {
        case ID_TO: {
            m_ui->recipientGroup->setTitle(tr("To:"));
            QList<QListWidgetItem*> selected;
            for (int row = 0; row < m_ui->addressList->count() && selected.size() < kMaxAdded;
                 ++row) {
                if (m_ui->addressList->item(row)->isSelected())
                    selected.append(m_ui->addressList->item(row));
            }
            if (selected.isEmpty())
                return;
            for (QListWidgetItem* item : selected)
                AddRecipient(m_addressItems.value(item->data(kItemIndexRole).toInt()));
            EnableCommand(ID_CLEAR, true);
            EnableCommand(ID_SEND, true);
            break;
        }
        case ID_CLEAR:
            ClearRecipients();
            break;
        case ID_SELECT:
            m_ui->addressList->selectAll();
            EnableCommand(ID_TO, true);
            EnableCommand(ID_DESELECT, true);
            EnableCommand(ID_CHECK, true);
            break;
        case ID_DESELECT:
            Deselect();
            break;
        case ID_SEND:
            if (HasSenderName())
                StartSend();
            break;
        case ID_REPLY:
            ReplyMode();
            break;
        case ID_CHECK:
            if (HasSenderName())
                StartCheck();
            break;
        case ID_ERASE:
            // A received note is kept: its area is read-only until Reply.
            if (!m_ui->noteArea->isReadOnly()) {
                m_ui->noteArea->clear();
                m_bNoteCut = false;
            }
            break;
        case ID_EXIT:
            close();
            break;
        default:
            break;
    }
}

// A note or check from nobody would reach its receiver as "@address" with a From line of ";".
bool CMessageWindow::HasSenderName() {
    if (!m_host.App().GetSettings().m_strFullName.isEmpty())
        return true;
    MessageBox::Information(this, tr("Please select File/Preferences to enter your name."));
    return false;
}

void CMessageWindow::StartSend() {
    m_note.m_strBody = m_ui->noteArea->toPlainText();
    m_note.m_strRecipientField = m_ui->recipientField->toPlainText();
    const Settings& settings = m_host.App().GetSettings();
    for (const QString& line : NoteBlocks::OutgoingBlock(
             m_note.m_strRecipientField, settings.m_strFullName, GetTimeStamp(), m_note.m_strBody))
        Log(line);
    setWindowTitle(tr("Send Message"));
    SetStatus(GetTimeStamp());
    if (m_recipients.isEmpty())
        return;

    m_bSending = true;
    m_strSentBody = m_note.m_strBody;
    EnableCommand(ID_SEND, false);
    EnableCommand(ID_CLEAR, false);
    m_ui->bookList->setEnabled(false);
    m_ui->addressList->setEnabled(false);
    QList<AddressEntry> recipients;
    for (const RecipientEntry& recipient : std::as_const(m_recipients))
        recipients.append(recipient.m_entry);
    const NoteIdentity sender = NoteIdentity::FromSettings(settings);
    const int timeout = static_cast<int>(qMin<quint32>(settings.m_nSocketTimeout, 3600));
    StartRun([recipients, sender, timeout, note = m_note](WindowRunReporter& reporter) mutable {
        NoteRuns::RunSend(recipients, note, sender, timeout, reporter);
        // The from-line set for the first recipient stays for later sends from this window.
        const QString fromLine = note.m_strFromLine;
        reporter.OnWindow([fromLine](CMessageWindow* w) { w->m_note.m_strFromLine = fromLine; });
    });
}

void CMessageWindow::StartCheck() {
    QList<CheckTarget> targets;
    for (int row = 0; row < m_ui->addressList->count() && targets.size() < NoteRuns::kMaxChecked;
         ++row) {
        QListWidgetItem* item = m_ui->addressList->item(row);
        if (item->isSelected())
            targets.append({row, m_addressItems.value(item->data(kItemIndexRole).toInt()).m_entry});
    }
    if (targets.isEmpty())
        return;
    m_bChecking = true;
    EnableCommand(ID_CHECK, false);
    m_ui->bookList->setEnabled(false);
    m_ui->addressList->setEnabled(false);
    const Settings& settings = m_host.App().GetSettings();
    const int timeout = static_cast<int>(qMin<quint32>(settings.m_nSocketTimeout, 3600));
    StartRun([targets, timeout](WindowRunReporter& reporter) {
        NoteRuns::RunCheck(targets, timeout, reporter);
    });
}

void CMessageWindow::StartRun(std::function<void(WindowRunReporter&)> run) {
    const IApplication& app = m_host.App();
    const Settings& settings = app.GetSettings();
    WindowRunReporter::Context context{&app, ErrorSound(settings), m_host.RecentLists(),
                                       settings.m_strDataDirectory};
    m_run = std::make_shared<RunLink>(this);
    // The run holds its link and what it was given, never the window itself.
    m_worker = QThread::create([link = m_run, context = std::move(context), run = std::move(run)] {
        WindowRunReporter reporter(link, context);
        run(reporter);
    });
    connect(m_worker, &QThread::finished, this, &CMessageWindow::OnRunFinished);
    m_worker->start();
}

void CMessageWindow::OnRunFinished() {
    if (m_worker) {
        // The thread has ended its work and is finishing: it is deleted once it has.
        m_worker->deleteLater();
        m_worker = nullptr;
    }
    m_run.reset();
    if (m_bSending) {
        EnableCommand(ID_SEND, true);
        EnableCommand(ID_CLEAR, true);
        m_bSending = false;
    }
    if (m_bChecking) {
        EnableCommand(ID_CHECK, !m_ui->addressList->selectedItems().isEmpty());
        m_bChecking = false;
    }
    m_ui->bookList->setEnabled(true);
    m_ui->addressList->setEnabled(true);
    Q_EMIT runFinished();
}

QListWidgetItem* CMessageWindow::ItemAtRow(int row) const {
    return row >= 0 && row < m_ui->addressList->count() ? m_ui->addressList->item(row) : nullptr;
}

void CMessageWindow::SetMark(int row, int mark) {
    if (QListWidgetItem* item = ItemAtRow(row)) {
        item->setData(kItemMarkRole, mark);
        item->setIcon(MarkIcon(mark));
    }
}

void CMessageWindow::SetFullName(int row, const QString& fullName) {
    if (QListWidgetItem* item = ItemAtRow(row)) {
        const int index = item->data(kItemIndexRole).toInt();
        if (index >= 0 && index < m_addressItems.size())
            m_addressItems[index].m_strFullName = fullName;
    }
}

void CMessageWindow::PlayErrorSound() {
    m_host.App().PlayNotificationSound(ErrorSound(m_host.App().GetSettings()));
}

void CMessageWindow::SetStatus(const QString& text) {
    m_ui->statusLine->setText(text);
}

void CMessageWindow::Log(const QString& text, bool newline) {
    if (!m_logView)
        m_logView = m_host.CurrentLogView();
    if (m_logView)
        m_logView->AppendLine(text, newline);
}

void CMessageWindow::AppendNote(const QString& text, bool newline) {
    if (m_bNoteCut)
        return;
    QPlainTextEdit* area = m_ui->noteArea;
    QString piece = text + (newline ? QStringLiteral("\n") : QString());
    const int room = kNoteAreaLimit - area->document()->characterCount();
    if (piece.size() > room) {
        // The window shows what fits and says so; the log keeps the whole note.
        piece = piece.left(qMax(0, room)) + QLatin1Char('\n') + tr(kCutMark);
        m_bNoteCut = true;
    }
    QTextCursor cursor(area->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(piece);
}

void CMessageWindow::KeepNoteWithinLimit(int position, int, int added) {
    // A received note is cut by AppendNote, with a mark that says so.
    QPlainTextEdit* area = m_ui->noteArea;
    if (area->isReadOnly() || added <= 0)
        return;
    QTextDocument* document = area->document();
    const int excess = document->characterCount() - 1 - kNoteAreaLimit;
    if (excess <= 0)
        return;
    // What was just typed or pasted is cut, as a text field with a limit does; a character
    // is never cut in half.
    int keep = qMax(0, added - excess);
    if (keep > 0 && document->characterAt(position + keep).isLowSurrogate())
        --keep;
    QTextCursor cursor(document);
    cursor.setPosition(position + keep);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void CMessageWindow::LogAndNote(const QString& text, bool newline) {
    Log(text, newline);
    AppendNote(text, newline);
}

void CMessageWindow::Adopt(CNoteSocket* socket) {
    m_socket = socket;
    m_socket->setParent(this);
    connect(m_socket, &CNoteSocket::recordReceived, this, &CMessageWindow::OnRecord);
    connect(m_socket, &CNoteSocket::readError, this,
            [this] { Log(QStringLiteral("Error reading socket")); });
    connect(m_socket, &CNoteSocket::closed, this, &CMessageWindow::OnSocketClosed);
}

void CMessageWindow::OnSocketClosed() {
    if (m_socket) {
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    // A connection that ended before its note was whole leaves nothing worth a window.
    if (m_bIncoming && !m_bReceived && !isVisible())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMessageWindow::OnRecord(const CMsg& msg) {
    // A note ends at its end record: a second end would count it again (and the reminder would
    // never stop), a check would close the shown note.
    if (m_bReceived)
        return;
    switch (msg.m_dwCode) {
        case MSG_SENDER_NAME:
            m_ui->noteArea->setReadOnly(true);
            m_strSenderName = msg.Text();
            m_ui->recipientField->setPlainText(
                QString(m_ui->recipientField->toPlainText() + m_strSenderName + QLatin1Char(';'))
                    .left(kRecipientFieldLimit));
            m_ui->recipientGroup->setTitle(tr("From:"));
            break;
        case MSG_SENDER_ADDRESS:
            m_strSenderAddress = msg.Text();
            setWindowTitle(QStringLiteral("%1@%2").arg(m_strSenderName, m_strSenderAddress));
            break;
        case MSG_SENDER_PORT:
            m_nSenderPort = BookFormat::ParsePort(msg.m_strData);
            break;
        case MSG_SENDER_DONE:
            EnableCommand(ID_REPLY, true);
            m_host.RecentLists()->Push(
                m_host.App().GetSettings().m_strDataDirectory, QLatin1String(kLastSendersFile),
                QString::fromLatin1(kLastSendersDescription),
                {AddressEntry{m_strSenderName, m_strSenderAddress, m_nSenderPort}});
            break;
        case MSG_BEGIN:
            for (const QString& line : NoteBlocks::IncomingBanner())
                Log(line);
            break;
        case MSG_QUOTE:
            LogAndNote(msg.Text());
            LogAndNote(QString::fromLatin1(NoteBlocks::kReplySeparator));
            break;
        case MSG_FROM_LINE:
            LogAndNote(NoteBlocks::FromLine(m_strSenderName, GetTimeStamp()));
            break;
        case MSG_TEXT_SPACED:
            LogAndNote(msg.Text());
            LogAndNote(QString());
            break;
        case MSG_TEXT:
            // The first text record holds the body; the rest are the profile lines.
            if (!m_bBodySeen) {
                m_bBodySeen = true;
                m_strBodyLine = NoteBlocks::SummaryLine(msg.Text());
            }
            LogAndNote(msg.Text());
            break;
        case MSG_END:
            OnNoteEnd();
            break;
        case MSG_CHECK:
            // The answer, then the window goes without ever having been seen.
            if (m_socket) {
                m_socket->SendMsg(CheckAnswer(msg, m_host.App().GetSettings().m_strFullName));
                m_socket->Close();
            }
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
            break;
        default:
            break;  // an unknown record is read and dropped
    }
}

void CMessageWindow::OnNoteEnd() {
    QPlainTextEdit* area = m_ui->noteArea;
    area->verticalScrollBar()->setValue(area->document()->blockCount() - 8);
    m_ui->progressBar->setRange(0, 1);
    m_ui->progressBar->setValue(1);
    SetStatus(GetTimeStamp());
    BringForward();
    m_host.NotifyNewMessage(*this);
    ++m_host.App().m_nUnansweredNoteCount;
    m_bReceived = true;
}

void CMessageWindow::BringForward() {
    if (m_bClosed)
        return;  // on its way out
    showNormal();
    raise();
    activateWindow();
}

void CMessageWindow::ReplyMode() {
    m_ui->noteArea->setReadOnly(false);
    if (m_bReceived && !m_bAnswered)
        --m_host.App().m_nUnansweredNoteCount;
    m_bAnswered = true;
    m_note.m_strRecipientField = m_ui->recipientField->toPlainText();
    m_note.m_strFromLine = QStringLiteral("FROM: ") + m_note.m_strRecipientField;
    m_note.m_strQuote += m_ui->noteArea->toPlainText();
    m_ui->noteArea->clear();
    m_bNoteCut = false;
    m_note.m_strBody.clear();
    EnableCommand(ID_SEND, true);
    EnableCommand(ID_CLEAR, true);
    EnableCommand(ID_REPLY, false);
    setWindowTitle(tr("Reply Message"));
    m_ui->recipientGroup->setTitle(tr("Reply To:"));
    m_recipients.append(RecipientEntry{
        AddressEntry{m_strSenderName, m_strSenderAddress, m_nSenderPort}, QString()});
    m_bRecipientsPresent = true;
    m_ui->recipientField->setPlainText(m_strSenderName + QLatin1Char(';'));
    m_note.m_strRecipientField = m_ui->recipientField->toPlainText();
}

// Escape, Exit and the window's close button all end in closeEvent, once.
void CMessageWindow::reject() {
    close();
}

void CMessageWindow::closeEvent(QCloseEvent* event) {
    // The window outlives its run: closing waits until the run has ended.
    if (IsBusy()) {
        PlayErrorSound();
        event->ignore();
        return;
    }
    OnClosing();
    // Not QDialog's handling: it would reject(), which closes again while this close runs,
    // and then keep the window open.
    event->accept();
}

void CMessageWindow::OnClosing() {
    if (m_bClosed)
        return;
    m_bClosed = true;
    IApplication& app = m_host.App();
    WindowPlacementStore(app.Store())
        .Save(QString::fromLatin1(WindowPlacementStore::kKeyPath),
              QStringLiteral("Message %1").arg(app.m_nMessageWindowCount), *this);
    --app.m_nMessageWindowCount;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    if (m_bReceived && !m_bAnswered)
        --app.m_nUnansweredNoteCount;
}
