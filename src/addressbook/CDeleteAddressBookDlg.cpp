#include "addressbook/CDeleteAddressBookDlg.h"

#include "addressbook/AddressBookEditor.h"
#include "app/Settings.h"
#include "shell/ControlNames.h"
#include "ui_CDeleteAddressBookDlg.h"

CDeleteAddressBookDlg::CDeleteAddressBookDlg(const Settings& settings, const RegistryStore& store,
                                             QWidget* parent)
    : CBookDialog(settings, store, QString::fromLatin1(kPlacementName), parent),
      m_ui(std::make_unique<Ui::CDeleteAddressBookDlg>()),
      m_listing(ListAddressBooks(settings.m_strDataDirectory, true)) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("deleteAddressBookDialog"));
    ControlNames::NameAfterCaption(this);
    m_ui->bookList->addItems(m_listing.m_descriptions);
    EnableDelete();
    connect(m_ui->bookList, &QListWidget::itemSelectionChanged, this,
            &CDeleteAddressBookDlg::EnableDelete);
    connect(m_ui->deleteButton, &QPushButton::clicked, this,
            &CDeleteAddressBookDlg::DeleteSelected);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    RestorePlacement();
}

CDeleteAddressBookDlg::~CDeleteAddressBookDlg() = default;

void CDeleteAddressBookDlg::EnableDelete() {
    m_ui->deleteButton->setEnabled(!m_ui->bookList->selectedItems().isEmpty());
}

void CDeleteAddressBookDlg::DeleteSelected() {
    const QList<QListWidgetItem*> selected = m_ui->bookList->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = m_ui->bookList->row(selected.first());
    const int next = BookRules::DeleteBook(m_listing, row);
    delete m_ui->bookList->takeItem(row);
    if (next >= 0)
        m_ui->bookList->setCurrentRow(next, QItemSelectionModel::ClearAndSelect);
    EnableDelete();
    Q_EMIT booksChanged();
}
