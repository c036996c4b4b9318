#include "shell/CFindReplaceDialog.h"

#include <QApplication>
#include <QPlainTextEdit>

#include "shell/ControlNames.h"
#include "shell/MessageBox.h"
#include "ui_CFindReplaceDialog.h"

CFindReplaceDialog::CFindReplaceDialog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CFindReplaceDialog>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("findReplaceDialog"));
    ControlNames::NameAfterCaption(this);
    setModal(false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_ui->findWhatEdit, &QLineEdit::textChanged, this, &CFindReplaceDialog::UpdateButtons);
    connect(m_ui->findNextButton, &QPushButton::clicked, this,
            &CFindReplaceDialog::OnFindNextClicked);
    connect(m_ui->replaceButton, &QPushButton::clicked, this,
            &CFindReplaceDialog::OnReplaceClicked);
    connect(m_ui->replaceAllButton, &QPushButton::clicked, this,
            &CFindReplaceDialog::OnReplaceAllClicked);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    UpdateButtons();
}

CFindReplaceDialog::~CFindReplaceDialog() = default;

void CFindReplaceDialog::SetEditor(QPlainTextEdit* editor) {
    if (editor != m_editor)
        m_bWrapPending = false;
    m_editor = editor;
}

void CFindReplaceDialog::ShowFind() {
    Show(false);
}

void CFindReplaceDialog::ShowReplace() {
    Show(true);
}

void CFindReplaceDialog::Show(bool replace) {
    m_bReplaceMode = replace;
    setWindowTitle(replace ? tr("Replace") : tr("Find"));
    m_ui->replaceWithLabel->setVisible(replace);
    m_ui->replaceWithEdit->setVisible(replace);
    m_ui->replaceButton->setVisible(replace);
    m_ui->replaceAllButton->setVisible(replace);
    m_ui->directionGroup->setVisible(!replace);
    if (m_editor) {
        const QString selected = m_editor->textCursor().selectedText();
        if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator) &&
            !selected.contains(QChar::LineSeparator))
            m_ui->findWhatEdit->setText(selected);
    }
    show();
    raise();
    activateWindow();
    m_ui->findWhatEdit->setFocus();
    m_ui->findWhatEdit->selectAll();
}

bool CFindReplaceDialog::FindNext() {
    if (!m_bHasLastSearch) {
        ShowFind();
        return false;
    }
    return Search(m_lastWhat, m_lastOptions);
}

FindOptions CFindReplaceDialog::Options() const {
    FindOptions options;
    options.m_bMatchCase = m_ui->matchCaseCheck->isChecked();
    options.m_bWholeWord = m_ui->matchWholeWordCheck->isChecked();
    // Replacing always works down the document.
    options.m_bSearchDown = m_bReplaceMode || m_ui->downRadio->isChecked();
    return options;
}

void CFindReplaceDialog::Remember() {
    m_lastWhat = m_ui->findWhatEdit->text();
    m_lastOptions = Options();
    m_bHasLastSearch = true;
}

bool CFindReplaceDialog::Search(const QString& what, const FindOptions& options) {
    if (!m_editor || what.isEmpty())
        return false;
    const bool wrap = m_bWrapPending;
    m_bWrapPending = false;
    const bool found =
        wrap ? FindFirst(*m_editor, what, options) : ::FindNext(*m_editor, what, options);
    if (!found) {
        m_bWrapPending = true;
        TellFinished();
    }
    return found;
}

void CFindReplaceDialog::TellFinished() {
    QApplication::beep();
    QWidget* parent = isVisible() ? static_cast<QWidget*>(this) : m_editor.data();
    MessageBox::Information(parent, tr("Quillpad has finished searching the document."));
}

void CFindReplaceDialog::UpdateButtons() {
    const bool hasText = !m_ui->findWhatEdit->text().isEmpty();
    m_ui->findNextButton->setEnabled(hasText);
    m_ui->replaceButton->setEnabled(hasText);
    m_ui->replaceAllButton->setEnabled(hasText);
}

void CFindReplaceDialog::OnFindNextClicked() {
    Remember();
    Search(m_lastWhat, m_lastOptions);
}

void CFindReplaceDialog::OnReplaceClicked() {
    Remember();
    if (!m_editor)
        return;
    ReplaceSelection(*m_editor, m_lastWhat, m_ui->replaceWithEdit->text(), m_lastOptions);
    Search(m_lastWhat, m_lastOptions);
}

void CFindReplaceDialog::OnReplaceAllClicked() {
    Remember();
    if (!m_editor)
        return;
    if (ReplaceAll(*m_editor, m_lastWhat, m_ui->replaceWithEdit->text(), m_lastOptions) == 0)
        TellFinished();
}
