#include "shell/CPProfilePage.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QTimer>

#include "app/Settings.h"
#include "shell/MessageBox.h"
#include "ui_CPProfilePage.h"

CPProfilePage::CPProfilePage(QWidget* parent)
    : COptionPage(parent), m_ui(std::make_unique<Ui::CPProfilePage>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("profilePage"));
    WhenLeft(m_ui->nameField, [this](Qt::FocusReason reason) { QueueNameCheck(reason); });
}

CPProfilePage::~CPProfilePage() = default;

void CPProfilePage::Load(const Settings& settings) {
    m_ui->nameField->setText(settings.m_strFullName);
    m_ui->locationField->setText(settings.m_strLocation);
    m_ui->phoneField->setText(settings.m_strPhone);
    m_ui->faxField->setText(settings.m_strFax);
    m_ui->quoteField->setText(settings.m_strQuote);
}

void CPProfilePage::Save(Settings& settings) const {
    settings.m_strFullName = m_ui->nameField->text();
    settings.m_strLocation = m_ui->locationField->text();
    settings.m_strPhone = m_ui->phoneField->text();
    settings.m_strFax = m_ui->faxField->text();
    settings.m_strQuote = m_ui->quoteField->text();
}

void CPProfilePage::FocusName() {
    m_ui->nameField->setFocus(Qt::OtherFocusReason);
}

void CPProfilePage::QueueNameCheck(Qt::FocusReason reason) {
    // Another window coming to the front (our own message box among them) or a menu opening
    // does not move the user out of the field.
    if (m_bCheckingName || reason == Qt::ActiveWindowFocusReason ||
        reason == Qt::PopupFocusReason || m_bNameCheckQueued)
        return;
    // The box is shown once the focus change is over, not from inside it.
    m_bNameCheckQueued = true;
    QTimer::singleShot(0, this, &CPProfilePage::CheckName);
}

void CPProfilePage::CheckName() {
    m_bNameCheckQueued = false;
    // Nothing to say once the sheet is closing, or when the focus went to OK or Cancel.
    const QWidget* focus = QApplication::focusWidget();
    if (!window()->isVisible() || !m_ui->nameField->text().isEmpty() || focus == m_ui->nameField ||
        (focus && qobject_cast<const QDialogButtonBox*>(focus->parentWidget())))
        return;
    m_bCheckingName = true;
    MessageBox::Critical(this, tr("You must enter a name!"));
    m_bCheckingName = false;
    Q_EMIT nameWanted();
    m_ui->nameField->setFocus(Qt::OtherFocusReason);
}
