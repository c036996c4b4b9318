#pragma once

#include <QString>
#include <functional>

class CQuillpadView;
class QWidget;

// The work that log views start in the network and address-book parts of the program: the hub
// view's listening and announcements, each view's periodic address-book update, and a new
// note. Until those parts are present every call succeeds without doing anything.
class LogViewServices {
public:
    virtual ~LogViewServices() = default;

    // Opens the listening socket and the announcement receiver for the hub view (they live as
    // children of the view) and sends the first announcement. False with the error line.
    virtual bool StartListening(CQuillpadView& view, QString* error) {
        Q_UNUSED(view);
        Q_UNUSED(error);
        return true;
    }
    // One logon announcement (timer 4); its failure is not reported.
    virtual bool SendLogonAnnouncement(CQuillpadView& view, QString* error) {
        Q_UNUSED(view);
        Q_UNUSED(error);
        return true;
    }
    // Starts one periodic address-book update on a worker thread (timer 2).
    virtual void UpdateAddressBooks(CQuillpadView& view) { Q_UNUSED(view); }
    // Address/Get: fetches the address books from the site's server after the user has
    // confirmed; done runs once the run has ended. Possible while a server is set and no other
    // Get runs.
    virtual bool CanGetAddressBooks() const { return false; }
    virtual void GetAddressBooks(QWidget* parent, std::function<void()> done) {
        Q_UNUSED(parent);
        Q_UNUSED(done);
    }
    // Opens a window for a new note (Send Message), when that is possible.
    virtual bool CanSendMessage() const { return false; }
    virtual void SendMessage(CQuillpadView& view) { Q_UNUSED(view); }
};
