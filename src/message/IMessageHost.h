#pragma once

#include <functional>
#include <memory>

class CMessageWindow;
class IApplication;
class CQuillpadView;
class RecentListWriter;
class QWidget;

// What a message window needs of the rest of the program.
class IMessageHost {
public:
    virtual ~IMessageHost() = default;
    virtual IApplication& App() = 0;
    // The log that takes a window's lines when the view that made it has gone.
    virtual CQuillpadView* CurrentLogView() = 0;
    // Writes Last Senders off the user-interface thread; runs hold it as long as they go on.
    virtual std::shared_ptr<RecentListWriter> RecentLists() = 0;
    // A received note has been shown in window (command 1025): the Message sound, the reminder
    // and a desktop notification.
    virtual void NotifyNewMessage(CMessageWindow& window) = 0;
    // Fetches the address books from the FTP server, asking and reporting as Address/Get does;
    // done runs once the books are in (the windows keep working meanwhile).
    virtual void GetAddressBooks(QWidget* parent, std::function<void()> done) = 0;
};
