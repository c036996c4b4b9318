#include "shell/CChildFrame.h"

#include <QCloseEvent>
#include <QMenu>

#include "shell/ControlNames.h"

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    ControlNames::SetRole(systemMenu(), QStringLiteral("systemMenu"), tr("Log window menu"));
}

void CChildFrame::Track() {
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
        m_normalGeometry = geometry();
}

void CChildFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    Track();
}

void CChildFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    Track();
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (m_closeHandler && !m_closeHandler()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}
