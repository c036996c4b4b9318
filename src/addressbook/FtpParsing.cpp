#include "addressbook/FtpParsing.h"

#include <QRegularExpression>

namespace {

bool IsLineEndOrBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

QByteArray FtpReply::Trimmed(QByteArrayView received) {
    qsizetype length = received.size();
    while (length > 0 && IsLineEndOrBlank(received[length - 1]))
        --length;
    return received.first(length).toByteArray();
}

int FtpReply::Code(QByteArrayView line) {
    if (line.size() < 3)
        return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + (c - '0');
    }
    return code;
}

bool FtpReply::IsContinued(QByteArrayView line) {
    return line.size() > 3 && line.at(3) == '-';
}

namespace Retrieval {

QStringList ParseListing(const QByteArray& listing) {
    // The Unix long form: type and permission bits, links, owner, group (which some servers
    // leave out), size, and a date of month, day and time or year; the name is all that
    // follows the date, blanks included, and a link's name ends before its " -> target".
    static const QRegularExpression longForm(QStringLiteral(
        R"(^([-bcdlpsD])[-rwxsStTlL]{9}[.+@]?\s+\d+\s.*?\s\d+\s+[A-Za-z]{3}\s+\d{1,2}\s+)"
        R"((?:\d{1,2}:\d{2}|\d{4}) (.+)$)"));
    QStringList names;
    for (QByteArray line : listing.split('\n')) {
        while (line.endsWith('\r') || line.endsWith('\n'))
            line.chop(1);
        const qsizetype blank = line.lastIndexOf(' ');
        if (blank < 0)
            break;
        QString name;
        const QRegularExpressionMatch match = longForm.match(QString::fromLocal8Bit(line));
        if (match.hasMatch()) {
            name = match.captured(2);
            if (match.capturedView(1) == u"l") {
                const qsizetype arrow = name.indexOf(QStringLiteral(" -> "));
                if (arrow > 0)
                    name.truncate(arrow);
            }
        } else {
            name = QString::fromLocal8Bit(line.mid(blank + 1));
        }
        if (name.contains(QStringLiteral("add")))
            names.append(name);
    }
    return names;
}

bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}
}  // namespace Retrieval
