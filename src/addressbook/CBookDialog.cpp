#include "addressbook/CBookDialog.h"

#include "app/Settings.h"
#include "shell/Resources.h"
#include "shell/WindowPlacementStore.h"

CBookDialog::CBookDialog(const Settings& settings, const RegistryStore& store,
                         const QString& placementName, QWidget* parent)
    : QDialog(parent), m_store(store), m_strPlacementName(placementName) {
    setWindowFlag(Qt::Window);
    // A main window kept above all others would cover the dialog as it opens.
    setWindowFlag(Qt::WindowStaysOnTopHint, settings.m_bAlwaysOnTop != 0);
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
