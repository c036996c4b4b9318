#include "addressbook/CNewAddressBookDlg.h"

#include <QFileInfo>

#include "addressbook/AddressBook.h"
#include "addressbook/AddressBookEditor.h"
#include "app/Settings.h"
#include "shell/ControlNames.h"
#include "shell/MessageBox.h"
#include "ui_CNewAddressBookDlg.h"

CNewAddressBookDlg::CNewAddressBookDlg(const Settings& settings, const RegistryStore& store,
                                       QWidget* parent)
    : CBookDialog(settings, store, QString::fromLatin1(kPlacementName), parent),
      m_ui(std::make_unique<Ui::CNewAddressBookDlg>()),
      m_settings(settings) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("newAddressBookDialog"));
    // The caption runs two words together; a screen reader gets them apart.
    setAccessibleName(tr("New Address Book"));
    ControlNames::NameStandardButtons(m_ui->buttonBox);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &CNewAddressBookDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    RestorePlacement();
}

CNewAddressBookDlg::~CNewAddressBookDlg() = default;

void CNewAddressBookDlg::Refuse(QLineEdit* field, const QString& text) {
    field->setFocus(Qt::OtherFocusReason);
    MessageBox::Critical(this, text);
}

void CNewAddressBookDlg::accept() {
    const QString description = m_ui->descriptionField->text();
    const QString fileName = m_ui->fileNameField->text();
    if (description.isEmpty())
        return Refuse(m_ui->descriptionField, tr("Description can not be empty!"));
    if (fileName.isEmpty())
        return Refuse(m_ui->fileNameField, tr("Please enter a file name!"));
    QString error;
    const std::optional<QString> path =
        BookRules::NewBookPath(m_settings.m_strDataDirectory, fileName, &error);
    if (!path)
        return Refuse(m_ui->fileNameField, error);
    // A book of that name may be full of entries: it is emptied only when the user says so.
    if (QFileInfo::exists(*path) &&
        !MessageBox::Question(this,
                              tr("An address book named %1 exists already. Replace it with an "
                                 "empty one?")
                                  .arg(QFileInfo(*path).fileName()),
                              QMessageBox::No)) {
        m_ui->fileNameField->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (CreateAddressBook(*path, description))
        Q_EMIT booksChanged();
    else
        MessageBox::Critical(this, tr("Unable to create address book %1").arg(*path));
    QDialog::accept();
}
