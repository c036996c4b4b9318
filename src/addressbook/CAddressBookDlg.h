#pragma once

#include <memory>

#include "addressbook/AddressBookEditor.h"
#include "addressbook/CBookDialog.h"

class QLineEdit;
struct Settings;

namespace Ui {
class CAddressBookDlg;
}

// "Address Book": the entries of one book at a time, added, changed and deleted one by one;
// every change is written to the book at once.
class CAddressBookDlg : public CBookDialog {
    Q_OBJECT
public:
    static constexpr const char* kPlacementName = "Address Book";

    CAddressBookDlg(const Settings& settings, const RegistryStore& store,
                    QWidget* parent = nullptr);
    ~CAddressBookDlg() override;

    const AddressBookEditor& Editor() const { return m_editor; }

Q_SIGNALS:
    void booksChanged();

private:
    void OnBookSelected();
    void OnEntrySelected();
    void OnFieldEdited();
    void Clear();
    void AddEntry();
    void UpdateEntry();
    void DeleteEntry();
    // The fields checked in order; the entry, or nothing after telling the user.
    std::optional<AddressEntry> TakeFields();
    // Shows the editor's entries and its chosen one; reports a book that could not be written.
    void Show(AddressBookEditor::Result result);
    void ShowEntries();
    void ShowEntry(int index);
    void EnableEditing(bool edited);

    std::unique_ptr<Ui::CAddressBookDlg> m_ui;
    AddressBookEditor m_editor;
};
