#pragma once

#include <QToolBar>

// The nine commands of a message window (MessageCommands), each a button with its image, label
// and tool tip. A fresh bar has only Erase and Exit enabled.
class MessageToolBar : public QToolBar {
    Q_OBJECT
public:
    explicit MessageToolBar(QWidget* parent);

    void EnableCommand(int id, bool enabled);
    bool IsCommandEnabled(int id) const;

Q_SIGNALS:
    void commandTriggered(int id);

private:
    QAction* CommandAction(int id) const;
};
