#include "addressbook/CBookDialog.h"

#include "shell/Resources.h"
#include "shell/WindowPlacementStore.h"

CBookDialog::CBookDialog(const RegistryStore& store, const QString& placementName, QWidget* parent)
    : QDialog(parent), m_store(store), m_strPlacementName(placementName) {
    setWindowFlag(Qt::Window);
    setWindowIcon(Resources::ToolbarIcon("address-book-new", ":/toolbar/icons/toolbar/book"));
}

CBookDialog::~CBookDialog() {
    WindowPlacementStore(m_store).Save(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                                       m_strPlacementName, *this);
}

void CBookDialog::RestorePlacement() {
    WindowPlacementStore(m_store).Restore(QString::fromLatin1(WindowPlacementStore::kKeyPath),
                                          m_strPlacementName, *this, true);
}
