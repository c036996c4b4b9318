#include "message/MessageToolBar.h"

#include <QAction>
#include <QIcon>

#include "message/MessageCommands.h"
#include "shell/ControlNames.h"
#include "shell/Resources.h"

namespace {

struct ButtonInfo {
    int id;
    const char* label;
    const char* toolTip;
    const char* image;
};

// clang-format off
const ButtonInfo kButtons[] = {
    {MessageCommands::ID_TO, QT_TRANSLATE_NOOP("MessageToolBar", "To:"), QT_TRANSLATE_NOOP("MessageToolBar", "Add selected names in the address book to the recipient list"), "to"},
    {MessageCommands::ID_CLEAR, QT_TRANSLATE_NOOP("MessageToolBar", "Clear"), QT_TRANSLATE_NOOP("MessageToolBar", "Clear recipient list"), "clear"},
    {MessageCommands::ID_SELECT, QT_TRANSLATE_NOOP("MessageToolBar", "Select"), QT_TRANSLATE_NOOP("MessageToolBar", "Select all addresses in the current book"), "select"},
    {MessageCommands::ID_DESELECT, QT_TRANSLATE_NOOP("MessageToolBar", "Deselect"), QT_TRANSLATE_NOOP("MessageToolBar", "Clear current address selection"), "deselect"},
    {MessageCommands::ID_SEND, QT_TRANSLATE_NOOP("MessageToolBar", "Send"), QT_TRANSLATE_NOOP("MessageToolBar", "Send your note"), "send"},
    {MessageCommands::ID_REPLY, QT_TRANSLATE_NOOP("MessageToolBar", "Reply"), QT_TRANSLATE_NOOP("MessageToolBar", "Switch to reply mode"), "reply"},
    {MessageCommands::ID_CHECK, QT_TRANSLATE_NOOP("MessageToolBar", "Check"), QT_TRANSLATE_NOOP("MessageToolBar", "Check to see if your friend is listening to you"), "check"},
    {MessageCommands::ID_ERASE, QT_TRANSLATE_NOOP("MessageToolBar", "Erase"), QT_TRANSLATE_NOOP("MessageToolBar", "Erase your note"), "erase"},
    {MessageCommands::ID_EXIT, QT_TRANSLATE_NOOP("MessageToolBar", "Exit"), QT_TRANSLATE_NOOP("MessageToolBar", "Close this window"), "exit"},
};
// clang-format on

// Icons are made once and shared by every window, so that each keeps its cached pixmaps
// (disabled buttons included): a burst of incoming notes then costs no icon work per window.
const QIcon& ButtonIcon(int index) {
    static const QList<QIcon> icons = [] {
        Resources::Init();
        QList<QIcon> made;
        for (const ButtonInfo& button : kButtons) {
            QIcon icon;
            for (int size : {16, 32})
                icon.addFile(QStringLiteral(":/toolbar/icons/message/%1-%2.png")
                                 .arg(QLatin1String(button.image))
                                 .arg(size));
            made.append(icon);
        }
        return made;
    }();
    return icons[index];
}

}  // namespace

MessageToolBar::MessageToolBar(QWidget* parent) : QToolBar(parent) {
    ControlNames::SetRole(this, QStringLiteral("messageToolBar"), tr("Toolbar"));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setIconSize(QSize(16, 16));
    int index = 0;
    for (const ButtonInfo& button : kButtons) {
        QAction* action = addAction(ButtonIcon(index++), tr(button.label));
        action->setObjectName(QLatin1String(button.image) + QStringLiteral("Command"));
        action->setData(button.id);
        action->setToolTip(tr(button.toolTip).left(79));
        const int id = button.id;
        connect(action, &QAction::triggered, this, [this, id] { Q_EMIT commandTriggered(id); });
        ControlNames::SetRole(widgetForAction(action),
                              QLatin1String(button.image) + QStringLiteral("Button"),
                              ControlNames::Words(tr(button.label)));
        action->setEnabled(id == MessageCommands::ID_ERASE || id == MessageCommands::ID_EXIT);
    }
}

QAction* MessageToolBar::CommandAction(int id) const {
    for (QAction* action : actions()) {
        if (action->data().toInt() == id)
            return action;
    }
    return nullptr;
}

void MessageToolBar::EnableCommand(int id, bool enabled) {
    if (QAction* action = CommandAction(id))
        action->setEnabled(enabled);
}

bool MessageToolBar::IsCommandEnabled(int id) const {
    const QAction* action = CommandAction(id);
    return action && action->isEnabled();
}
