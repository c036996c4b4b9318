#pragma once

#include <memory>

#include "addressbook/CBookDialog.h"

struct Settings;

namespace Ui {
class CNewAddressBookDlg;
}

// "NewAddress Book": makes an empty book of a description and a file name in the data
// directory.
class CNewAddressBookDlg : public CBookDialog {
    Q_OBJECT
public:
    static constexpr const char* kPlacementName = "New Address Book";

    CNewAddressBookDlg(const Settings& settings, const RegistryStore& store,
                       QWidget* parent = nullptr);
    ~CNewAddressBookDlg() override;

    // OK: the checks, then the book; the dialog stays open while something is to be mended.
    void accept() override;

Q_SIGNALS:
    // A book was made (or replaced): lists of books are out of date.
    void booksChanged();

private:
    void Refuse(class QLineEdit* field, const QString& text);

    std::unique_ptr<Ui::CNewAddressBookDlg> m_ui;
    const Settings& m_settings;
};
