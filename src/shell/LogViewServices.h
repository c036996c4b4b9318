#pragma once

#include <QString>

class CQuillpadView;

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
    // Opens a window for a new note (Send Message), when that is possible.
    virtual bool CanSendMessage() const { return false; }
    virtual void SendMessage(CQuillpadView& view) { Q_UNUSED(view); }
};
