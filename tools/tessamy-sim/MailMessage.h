#pragma once

#include <QByteArray>
#include <QDateTime>

// Composes the text of one plain-text mail as it goes over SMTP: headers, a blank line,
// the body with CRLF line ends. Values are bytes as typed on the command line.
namespace MailMessage {

struct Parts {
    QByteArray from;
    QByteArray to;
    QByteArray subject;
    QByteArray body;
    QDateTime date;
    QByteArray messageId;  // with its angle brackets
};

QByteArray Compose(const Parts& parts);

// A header value on one line: each run of CR and LF becomes one blank, so a value can
// never start a header of its own.
QByteArray HeaderValue(const QByteArray& value);
// The subject, as RFC 2047 encoded words when it holds anything but printable ASCII or
// is too long for one header line.
QByteArray EncodedSubject(const QByteArray& subject);
// The address for the SMTP envelope: the part in angle brackets of "Name <addr>", else
// the text exactly as typed.
QByteArray EnvelopeAddress(const QByteArray& typed);
bool IsValidUtf8(const QByteArray& bytes);

}  // namespace MailMessage
