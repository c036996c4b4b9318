#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

#include "addressbook/CFtpClient.h"
#include "addressbook/FtpParsing.h"

struct Settings;

// Where a retrieval run reports: the Get command shows message boxes, the periodic update
// writes lines into the log.
class IRetrievalReport {
public:
    virtual ~IRetrievalReport() = default;
    // Get: a message box (no icon).
    virtual void Show(const QString& text) = 0;
    // Update: one line at the end of the log.
    virtual void Log(const QString& line) = 0;
};

namespace Retrieval {

enum class Mode { Interactive, Periodic };

// What a run needs of the settings, taken when it starts.
struct Target {
    QString m_strServer;
    QString m_strUsername;
    QString m_strPassword;
    QString m_strDirectory;
    QString m_strDataDirectory;

    static Target FromSettings(const Settings& settings);
};

inline constexpr const char* kNotificationSeparator =
    "------------------------ Notification Message ------------------------ ";

// How long a run and its parts may take: a server that keeps answering a little at a time
// must not hold a run, and the Get command's wait, for ever.
struct Limits {
    int m_nRunMs = 10 * 60 * 1000;
    int m_nReplyMs = CFtpClient::kReplyTimeoutMs;
    int m_nSilenceMs = CFtpClient::kSilenceTimeoutMs;
};

// One retrieval: log in, list the directory, fetch each book into the data directory. Returns
// how many were fetched. progress gets the client's status texts; cancelled ends the run's
// waits early (the user cancelled, or the program is ending).
int Run(const Target& target, Mode mode, IRetrievalReport& report,
        std::function<void(const QString&)> progress = {}, std::function<bool()> cancelled = {},
        const Limits& limits = Limits());

// "You have received %d address book%s." (and the periodic form with its time).
QString ReceivedText(int count);
QString ReceivedNotification(int count, const QString& timeStamp);

}  // namespace Retrieval
