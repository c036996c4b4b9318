#include "addressbook/CAddressBookDlg.h"

#include "app/Settings.h"
#include "shell/ControlNames.h"
#include "shell/MessageBox.h"
#include "ui_CAddressBookDlg.h"

CAddressBookDlg::CAddressBookDlg(const Settings& settings, const RegistryStore& store,
                                 QWidget* parent)
    : CBookDialog(settings, store, QString::fromLatin1(kPlacementName), parent),
      m_ui(std::make_unique<Ui::CAddressBookDlg>()),
      m_editor(settings.m_strDataDirectory) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("addressBookDialog"));
    ControlNames::NameAfterCaption(this);
    m_ui->bookList->addItems(m_editor.Books().m_descriptions);
    m_ui->portField->setText(QString::number(BookRules::kDefaultPort));
    EnableEditing(false);
    m_ui->deleteButton->setEnabled(false);

    connect(m_ui->bookList, &QListWidget::currentRowChanged, this,
            &CAddressBookDlg::OnBookSelected);
    connect(m_ui->entryList, &QListWidget::currentRowChanged, this,
            &CAddressBookDlg::OnEntrySelected);
    for (QLineEdit* field : {m_ui->nameField, m_ui->addressField, m_ui->portField})
        connect(field, &QLineEdit::textEdited, this, &CAddressBookDlg::OnFieldEdited);
    connect(m_ui->addButton, &QPushButton::clicked, this, &CAddressBookDlg::AddEntry);
    connect(m_ui->clearButton, &QPushButton::clicked, this, &CAddressBookDlg::Clear);
    connect(m_ui->deleteButton, &QPushButton::clicked, this, &CAddressBookDlg::DeleteEntry);
    connect(m_ui->updateButton, &QPushButton::clicked, this, &CAddressBookDlg::UpdateEntry);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    RestorePlacement();
}

CAddressBookDlg::~CAddressBookDlg() = default;

void CAddressBookDlg::EnableEditing(bool edited) {
    m_ui->addButton->setEnabled(edited);
    m_ui->updateButton->setEnabled(edited);
}

void CAddressBookDlg::OnFieldEdited() {
    EnableEditing(true);
}

void CAddressBookDlg::OnBookSelected() {
    m_editor.SelectBook(m_ui->bookList->currentRow());
    ShowEntries();
    Clear();
}

void CAddressBookDlg::OnEntrySelected() {
    const int row = m_ui->entryList->currentRow();
    m_editor.SelectEntry(row);
    if (row < 0)
        return;
    ShowEntry(row);
    m_ui->deleteButton->setEnabled(true);
}

void CAddressBookDlg::ShowEntry(int index) {
    const AddressEntry& entry = m_editor.Entries()[index];
    m_ui->nameField->setText(entry.m_strName);
    m_ui->addressField->setText(entry.m_strAddress);
    m_ui->portField->setText(QString::number(entry.m_nPort));
}

void CAddressBookDlg::ShowEntries() {
    const QSignalBlocker block(m_ui->entryList);
    m_ui->entryList->clear();
    for (const AddressEntry& entry : m_editor.Entries())
        m_ui->entryList->addItem(entry.m_strName);
    m_ui->entryList->setCurrentRow(m_editor.CurrentEntry());
    m_ui->deleteButton->setEnabled(m_editor.CurrentEntry() >= 0);
}

void CAddressBookDlg::Clear() {
    m_ui->nameField->clear();
    m_ui->addressField->clear();
    m_ui->portField->setText(QString::number(BookRules::kDefaultPort));
    EnableEditing(false);
}

std::optional<AddressEntry> CAddressBookDlg::TakeFields() {
    const BookRules::EntryCheck check = BookRules::CheckEntry(
        m_ui->nameField->text(), m_ui->addressField->text(), m_ui->portField->text());
    QLineEdit* field = nullptr;
    switch (check.m_field) {
        case BookRules::EntryCheck::Field::None:
            return check.m_entry;
        case BookRules::EntryCheck::Field::Port:
            field = m_ui->portField;
            break;
        case BookRules::EntryCheck::Field::Name:
            field = m_ui->nameField;
            break;
        case BookRules::EntryCheck::Field::Address:
            field = m_ui->addressField;
            break;
    }
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    MessageBox::Critical(this, check.m_strMessage);
    return std::nullopt;
}

void CAddressBookDlg::AddEntry() {
    if (const std::optional<AddressEntry> entry = TakeFields())
        Show(m_editor.Add(*entry));
}

void CAddressBookDlg::UpdateEntry() {
    if (const std::optional<AddressEntry> entry = TakeFields())
        Show(m_editor.Update(*entry));
}

void CAddressBookDlg::DeleteEntry() {
    const AddressBookEditor::Result result = m_editor.Delete();
    if (result == AddressBookEditor::Result::NoEntry || result == AddressBookEditor::Result::NoBook)
        return;
    Show(result);
    if (m_editor.CurrentEntry() >= 0)
        ShowEntry(m_editor.CurrentEntry());
    else
        Clear();
}

void CAddressBookDlg::Show(AddressBookEditor::Result result) {
    switch (result) {
        case AddressBookEditor::Result::NoBook:
            MessageBox::Critical(this, tr("Please choose an address book first."));
            return;
        case AddressBookEditor::Result::NoEntry:
            return;  // Update without a chosen entry does nothing
        case AddressBookEditor::Result::Written:
        case AddressBookEditor::Result::WriteFailed:
            break;
    }
    ShowEntries();
    EnableEditing(false);
    if (result == AddressBookEditor::Result::WriteFailed) {
        // The change stays in the list.
        MessageBox::Critical(
            this, tr("Unable to update address book [%1]").arg(m_editor.CurrentDescription()));
    } else {
        Q_EMIT booksChanged();
    }
}
