#include "message/CMessageWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QListWidget>
#include <QScrollBar>

#include "addressbook/RecentListWriter.h"
#include "app/AppFunctions.h"
#include "app/Settings.h"
#include "message/IMessageHost.h"
#include "message/MessageRun.h"
#include "message/MessageToolBar.h"
#include "message/NoteBlocks.h"
#include "net/CNoteSocket.h"
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

}  // namespace

CMessageWindow::CMessageWindow(IMessageHost& host, CQuillpadView* logView, bool incoming)
    : QDialog(nullptr),
      m_ui(std::make_unique<Ui::CMessageWindow>()),
      m_host(host),
      m_logView(logView),
      m_bIncoming(incoming),
      m_incoming(*this) {
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
    m_toolBar = new MessageToolBar(this);
    static_cast<QVBoxLayout*>(layout())->insertWidget(0, m_toolBar);
    connect(m_toolBar, &MessageToolBar::commandTriggered, this, &CMessageWindow::OnCommand);

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
    // Only at the end of the program can a window go while its run goes on.
    m_run.reset();
}

void CMessageWindow::EnableCommand(int id, bool enabled) {
    m_toolBar->EnableCommand(id, enabled);
}

bool CMessageWindow::IsCommandEnabled(int id) const {
    return m_toolBar->IsCommandEnabled(id);
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
        item->setIcon(AddressMarkIcon(Unknown));
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

void CMessageWindow::AddSelectedRecipients() {
    m_ui->recipientGroup->setTitle(tr("To:"));
    QList<QListWidgetItem*> selected;
    for (int row = 0; row < m_ui->addressList->count() && selected.size() < kMaxAdded; ++row) {
        if (m_ui->addressList->item(row)->isSelected())
            selected.append(m_ui->addressList->item(row));
    }
    if (selected.isEmpty())
        return;
    for (QListWidgetItem* item : selected)
        AddRecipient(m_addressItems.value(item->data(kItemIndexRole).toInt()));
    EnableCommand(ID_CLEAR, true);
    EnableCommand(ID_SEND, true);
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
        case ID_TO:
            AddSelectedRecipients();
            break;
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
            m_incoming.Reply(m_ui->recipientField->toPlainText(), m_ui->noteArea->toPlainText(),
                             m_note);
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
    // The from-line set for the first recipient stays for later sends from this window.
    auto fromLine = std::make_shared<QString>();
    StartRun(
        [recipients, sender, timeout, note = m_note, fromLine](IRunReporter& reporter) mutable {
            NoteRuns::RunSend(recipients, note, sender, timeout, reporter);
            *fromLine = note.m_strFromLine;
        },
        [this, fromLine] { m_note.m_strFromLine = *fromLine; });
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
    StartRun([targets, timeout](IRunReporter& reporter) {
        NoteRuns::RunCheck(targets, timeout, reporter);
    });
}

void CMessageWindow::StartRun(std::function<void(IRunReporter&)> work, std::function<void()> done) {
    const IApplication& app = m_host.App();
    const Settings& settings = app.GetSettings();
    MessageRun::Context context{&app, ErrorSound(settings), m_host.RecentLists(),
                                settings.m_strDataDirectory};
    m_runDone = std::move(done);
    m_run = std::make_unique<MessageRun>(*this, static_cast<IRunReporter&>(*this),
                                         std::move(context), std::move(work));
    connect(m_run.get(), &MessageRun::finished, this, &CMessageWindow::OnRunFinished);
}

void CMessageWindow::OnRunFinished() {
    // Not deleted from its own signal.
    if (m_run)
        m_run.release()->deleteLater();
    if (m_runDone)
        std::exchange(m_runDone, {})();
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
        item->setIcon(AddressMarkIcon(mark));
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

void CMessageWindow::SetProgressRange(int count) {
    m_ui->progressBar->setRange(0, count);
    m_ui->progressBar->setValue(0);
}

void CMessageWindow::StepProgress() {
    m_ui->progressBar->setValue(m_ui->progressBar->value() + 1);
    m_ui->progressBar->repaint();
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
    if (m_bIncoming && !m_incoming.IsWhole() && !isVisible())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMessageWindow::SetNoteReadOnly(bool readOnly) {
    m_ui->noteArea->setReadOnly(readOnly);
}

void CMessageWindow::ClearNote() {
    m_ui->noteArea->clear();
    m_bNoteCut = false;
}

void CMessageWindow::AppendRecipientText(const QString& text) {
    QPlainTextEdit* field = m_ui->recipientField;
    field->setPlainText(QString(field->toPlainText() + text).left(kRecipientFieldLimit));
}

void CMessageWindow::SetRecipientText(const QString& text) {
    m_ui->recipientField->setPlainText(text);
}

void CMessageWindow::AppendRecipientEntry(const AddressEntry& entry) {
    m_recipients.append(RecipientEntry{entry, QString()});
    m_bRecipientsPresent = true;
}

void CMessageWindow::SetGroupTitle(const QString& title) {
    m_ui->recipientGroup->setTitle(title);
}

void CMessageWindow::PushLastSender(const AddressEntry& sender) {
    m_host.RecentLists()->Push(m_host.App().GetSettings().m_strDataDirectory,
                               QLatin1String(kLastSendersFile),
                               QString::fromLatin1(kLastSendersDescription), {sender});
}

void CMessageWindow::ShowWholeNote(const QString& timeStamp) {
    QPlainTextEdit* area = m_ui->noteArea;
    area->verticalScrollBar()->setValue(area->document()->blockCount() - 8);
    m_ui->progressBar->setRange(0, 1);
    m_ui->progressBar->setValue(1);
    SetStatus(timeStamp);
    BringForward();
    m_host.NotifyNewMessage(*this);
}

void CMessageWindow::CountUnanswered(int change) {
    m_host.App().m_nUnansweredNoteCount += change;
}

void CMessageWindow::AnswerCheck(const CMsg& request) {
    // The answer, then the window goes without ever having been seen.
    if (m_socket) {
        m_socket->SendMsg(CheckAnswer(request, m_host.App().GetSettings().m_strFullName));
        m_socket->Close();
    }
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMessageWindow::BringForward() {
    if (m_bClosed)
        return;  // on its way out
    showNormal();
    raise();
    activateWindow();
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
    m_incoming.Close();
}
