#include "message/NoteNotice.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "shell/CQuillpadView.h"
#include "shell/ControlNames.h"
#include "shell/Resources.h"

NoteNotice::NoteNotice(int windowLimit, bool alwaysOnTop)
    : QWidget(nullptr), m_nWindowLimit(windowLimit) {
    setObjectName(QStringLiteral("noteNoticeWindow"));
    ControlNames::NameAfterCaption(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Qt::WindowFlags flags = Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    // In the band of the note windows, which would otherwise cover it.
    flags.setFlag(Qt::WindowStaysOnTopHint, alwaysOnTop);
    setWindowFlags(flags);
    setWindowIcon(Resources::ProgramIcon());
    setWindowTitle(tr("Further Notes"));

    m_text = new QLabel(this);
    ControlNames::SetRole(m_text, QStringLiteral("noticeText"), tr("Further notes"));
    m_text->setWordWrap(true);
    m_text->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_showButton = new QPushButton(tr("&Show in Log"), this);
    ControlNames::SetRole(m_showButton, QStringLiteral("showInLogButton"),
                          tr("Show the first of them in the log"));
    m_showButton->setDefault(true);
    auto* closeButton = new QPushButton(tr("Close"), this);
    ControlNames::SetRole(closeButton, QStringLiteral("closeButton"), tr("Close"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_showButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(buttons);
    connect(m_showButton, &QPushButton::clicked, this, &NoteNotice::OnShowInLog);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    // Escape closes it as it closes a note window.
    auto* escape = new QShortcut(QKeySequence::Cancel, this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(360, 120);
}

NoteNotice::~NoteNotice() {
    // A notice that goes with the program, unclosed, still stops counting its notes.
    if (!m_bClosed) {
        m_bClosed = true;
        Q_EMIT noticeClosed(m_nCount);
    }
}

void NoteNotice::AddNote(CQuillpadView* view, const QTextCursor& at) {
    if (m_nCount++ == 0) {
        m_view = view;
        m_first = at;
    }
    UpdateText();
}

void NoteNotice::UpdateText() {
    const QString text =
        m_nCount == 1 ? tr("1 further note arrived while %1 note windows were open; it is in "
                           "the log.")
                            .arg(m_nWindowLimit)
                      : tr("%1 further notes arrived while %2 note windows were open; they are "
                           "in the log.")
                            .arg(m_nCount)
                            .arg(m_nWindowLimit);
    m_text->setText(text);
    // A screen reader speaks the label's name; the count is in what it reads after it.
    m_text->setAccessibleDescription(text);
}

void NoteNotice::OnShowInLog() {
    Q_EMIT showInLogRequested(m_view, m_first);
    close();
}

void NoteNotice::closeEvent(QCloseEvent* event) {
    if (!m_bClosed) {
        m_bClosed = true;
        Q_EMIT noticeClosed(m_nCount);
    }
    event->accept();
}
