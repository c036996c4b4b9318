#include "addressbook/Retrieval.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include "addressbook/CFtpClient.h"
#include "app/AppFunctions.h"
#include "app/Settings.h"
#include "platform/AtomicFile.h"

namespace Retrieval {

namespace {

// A failure of one step: the Get command shows the client's text; the update writes a
// notification with what failed, then the client's text.
void Failure(Mode mode, IRetrievalReport& report, const QString& notification,
             const QString& clientError) {
    if (mode == Mode::Interactive) {
        report.Show(clientError);
        return;
    }
    report.Log(QString::fromLatin1(kNotificationSeparator));
    report.Log(notification);
    report.Log(clientError);
}

// Fetches one book: into a file beside it first, which replaces the book only when the
// transfer succeeded, so that a broken transfer never leaves a truncated book. A book that
// cannot be written is a failure, whatever the server said.
bool FetchBook(CFtpClient& client, const Target& target, const QString& name, QString* error) {
    const QString localPath = target.m_strDataDirectory + name;
    QTemporaryFile part(target.m_strDataDirectory + QStringLiteral(".qpd-part-XXXXXX"));
    if (!part.open()) {
        *error = QStringLiteral("Can not write %1: %2").arg(localPath, part.errorString());
        return false;
    }
    part.close();
    const QString remoteName = target.m_strDirectory + name;
    if (!client.Retrieve(part.fileName(), remoteName, CFtpClient::kAscii)) {
        // A server's "550 Failed to open file." does not say which of the books it was.
        *error = QStringLiteral("%1 (retrieving %2)").arg(client.ErrorText(), remoteName);
        return false;
    }
    // The book keeps its permissions (a new one gets the usual ones, not the part file's).
    QString why;
    if (!AtomicFile::Replace(part.fileName(), localPath, AtomicFile::Options(), &why)) {
        *error = QStringLiteral("Can not write %1: %2").arg(localPath, why);
        return false;
    }
    part.setAutoRemove(false);
    return true;
}

// The Get command shows what went wrong in a box; the update writes it into the log.
void Say(Mode mode, IRetrievalReport& report, const QString& text) {
    if (mode == Mode::Interactive)
        report.Show(text);
    else
        report.Log(text);
}

bool LogIn(CFtpClient& client, const Target& target, Mode mode, IRetrievalReport& report) {
    if (!client.Initialize()) {
        Failure(mode, report, QStringLiteral("Can not initialize FTP @ %1").arg(GetTimeStamp()),
                client.ErrorText());
        return false;
    }
    if (!client.Connect(target.m_strServer, target.m_strUsername, target.m_strPassword,
                        QString())) {
        Failure(mode, report,
                QStringLiteral("FTP Can not connect to %1 as %2 @ %3")
                    .arg(target.m_strServer, target.m_strUsername, GetTimeStamp()),
                client.ErrorText());
        return false;
    }
    return true;
}

// The name of the file the listing goes into; empty, with the text to say, when there is none.
QString MakeListingFile(QTemporaryFile& file, const Target& target, QString* error) {
    file.setAutoRemove(true);
    const bool opened = file.open();
    // An unnamed file gets its name only when asked, which can fail too.
    const QString path = opened ? file.fileName() : QString();
    file.close();
    if (path.isEmpty()) {
        *error =
            QStringLiteral("Can't make a file in %1 to look for address books: %2")
                .arg(target.m_strDataDirectory,
                     opened ? QStringLiteral("no name could be given to it") : file.errorString());
    }
    return path;
}

// Changes to the books' directory and lists it into listingPath. False when the run ends here.
bool ReadListing(CFtpClient& client, const Target& target, const QString& listingPath, Mode mode,
                 IRetrievalReport& report, QByteArray* listed) {
    // The Get command goes on after a refused CWD or LIST, but not once the connection is gone:
    // every later step would only repeat the same failure.
    if (!client.ChangeDirectory(target.m_strDirectory)) {
        Failure(mode, report,
                QStringLiteral("FTP Can not change directory to %1").arg(target.m_strDirectory),
                client.ErrorText());
        if (mode == Mode::Periodic || !client.IsConnected())
            return false;
    }
    if (!client.List(listingPath)) {
        Failure(mode, report,
                QStringLiteral("FTP Can not retrieve directory %1").arg(target.m_strDirectory),
                client.ErrorText());
        if (mode == Mode::Periodic || !client.IsConnected())
            return false;
    }
    QFile listing(listingPath);
    if (!listing.open(QIODevice::ReadOnly)) {
        Say(mode, report,
            QStringLiteral("Can't open file %1 to look for address books").arg(listingPath));
        client.Quit();
        return false;
    }
    // A listing is a few kilobytes; a server that sends more than this is not listing books.
    *listed = listing.read(16 * 1024 * 1024);
    return true;
}

// Fetches each listed book; returns how many were fetched.
int FetchBooks(CFtpClient& client, const Target& target, const QStringList& names, Mode mode,
               IRetrievalReport& report, const std::function<bool()>& cancelled) {
    int count = 0;
    for (const QString& name : names) {
        if (cancelled && cancelled())
            break;
        bool fetched = false;
        QString error;
        if (!IsPlainFileName(name)) {
            // Such a name would write outside the data directory.
            error =
                QStringLiteral("FTP Error: \"%1\" is not a plain file name; it was not retrieved")
                    .arg(name);
        } else if (name.startsWith(QLatin1Char('.'))) {
            // Hidden files are the program's own (locks, part files), not books of the site.
            continue;
        } else {
            fetched = FetchBook(client, target, name, &error);
        }
        if (fetched) {
            ++count;
            continue;
        }
        Say(mode, report, error);
        // A lost connection would fail every remaining book the same way.
        if (!client.IsConnected())
            break;
    }
    return count;
}

}  // namespace

Target Target::FromSettings(const Settings& settings) {
    return Target{settings.m_strFtpServer, settings.m_strFtpUsername, settings.m_strFtpPassword,
                  settings.m_strFtpDirectory, settings.m_strDataDirectory};
}

QString ReceivedText(int count) {
    return QStringLiteral("You have received %1 address book%2.")
        .arg(count)
        .arg(count == 1 ? QString() : QStringLiteral("s"));
}

QString ReceivedNotification(int count, const QString& timeStamp) {
    return QStringLiteral("You have received %1 address book%2 @ %3.")
        .arg(count)
        .arg(count == 1 ? QString() : QStringLiteral("s"), timeStamp);
}

int Run(const Target& target, Mode mode, IRetrievalReport& report,
        std::function<void(const QString&)> progress, std::function<bool()> cancelled,
        const Limits& limits) {
    CFtpClient client(std::move(progress));
    client.SetRunTimeout(limits.m_nRunMs);
    client.SetReplyTimeout(limits.m_nReplyMs);
    client.SetSilenceTimeout(limits.m_nSilenceMs);
    if (cancelled)
        client.SetCancelCheck(cancelled);
    if (!LogIn(client, target, mode, report))
        return 0;

    // Without a file of its own for the listing the run stops: any fixed name could be one of
    // the user's files.
    QTemporaryFile listingFile(target.m_strDataDirectory + QStringLiteral("qpdXXXXXX"));
    QString error;
    const QString listingPath = MakeListingFile(listingFile, target, &error);
    if (listingPath.isEmpty()) {
        Say(mode, report, error);
        client.Quit();
        return 0;
    }
    QByteArray listed;
    if (!ReadListing(client, target, listingPath, mode, report, &listed))
        return 0;

    const int count = FetchBooks(client, target, ParseListing(listed), mode, report, cancelled);
    client.Quit();
    if (count >= 1 && mode == Mode::Periodic) {
        report.Log(QString::fromLatin1(kNotificationSeparator));
        report.Log(ReceivedNotification(count, GetTimeStamp()));
    }
    return count;
}

}  // namespace Retrieval
