#pragma once

#include <memory>

#include "addressbook/AddressBook.h"
#include "addressbook/CBookDialog.h"

struct Settings;

namespace Ui {
class CDeleteAddressBookDlg;
}

// "Delete Address Book": the books of the data directory (not the two recent lists), each
// deleted with Delete, at once and without asking.
class CDeleteAddressBookDlg : public CBookDialog {
    Q_OBJECT
public:
    static constexpr const char* kPlacementName = "Delete Address Book";

    CDeleteAddressBookDlg(const Settings& settings, const RegistryStore& store,
                          QWidget* parent = nullptr);
    ~CDeleteAddressBookDlg() override;

    const BookListing& Listing() const { return m_listing; }

Q_SIGNALS:
    void booksChanged();

private:
    void DeleteSelected();
    void EnableDelete();

    std::unique_ptr<Ui::CDeleteAddressBookDlg> m_ui;
    BookListing m_listing;
};
