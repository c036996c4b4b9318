#include "shell/CDataPage.h"

#include "app/Settings.h"
#include "shell/FileDialog.h"
#include "shell/MessageBox.h"
#include "ui_CDataPage.h"

using namespace PreferenceRules;

CDataPage::CDataPage(QWidget* parent)
    : COptionPage(parent), m_ui(std::make_unique<Ui::CDataPage>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("logPage"));
    AddNumberField(m_ui->saveIntervalField, kSaveLogInterval);
    EnableWith(m_ui->saveLogCheck,
               {m_ui->saveIntervalField, m_ui->dataDirectoryField, m_ui->chooseDirectoryButton});
    WhenLeft(m_ui->dataDirectoryField, [this](Qt::FocusReason) {
        m_ui->dataDirectoryField->setText(WithLocalSeparator(m_ui->dataDirectoryField->text()));
    });
    connect(m_ui->chooseDirectoryButton, &QToolButton::clicked, this, &CDataPage::ChooseDirectory);
}

CDataPage::~CDataPage() = default;

void CDataPage::Load(const Settings& settings) {
    m_ui->saveLogCheck->setChecked(settings.m_bSaveLog != 0);
    SetNumber(m_ui->saveIntervalField, settings.m_nSaveLogInterval);
    m_ui->dataDirectoryField->setText(settings.m_strDataDirectory);
    m_strGivenDirectory = settings.m_strDataDirectory;
    m_ui->alwaysOnTopCheck->setChecked(settings.m_bAlwaysOnTop != 0);
}

void CDataPage::Save(Settings& settings) const {
    settings.m_bSaveLog = m_ui->saveLogCheck->isChecked() ? 1 : 0;
    settings.m_nSaveLogInterval = Number(m_ui->saveIntervalField);
    settings.m_strDataDirectory = Directory();
    settings.m_bAlwaysOnTop = m_ui->alwaysOnTopCheck->isChecked() ? 1 : 0;
}

QString CDataPage::Directory() const {
    // Paths are made by appending names to the directory, so it always ends with its '/'.
    return WithLocalSeparator(m_ui->dataDirectoryField->text());
}

bool CDataPage::PrepareDirectory() {
    if (Directory() == m_strGivenDirectory)
        return true;
    QString error;
    if (PrepareDataDirectory(Directory(), &error))
        return true;
    MessageBox::Critical(this, error);
    m_ui->dataDirectoryField->setFocus(Qt::OtherFocusReason);
    m_ui->dataDirectoryField->selectAll();
    return false;
}

void CDataPage::ChooseDirectory() {
    const QString chosen =
        FileDialog::GetExistingDirectory(this, tr("Choose a directory"), Directory());
    if (!chosen.isEmpty())
        m_ui->dataDirectoryField->setText(WithLocalSeparator(chosen));
}
