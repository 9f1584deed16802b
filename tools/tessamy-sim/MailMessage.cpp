#include "MailMessage.h"

#include <QByteArrayList>
#include <QLocale>
#include <QStringDecoder>

namespace MailMessage {

namespace {

constexpr qsizetype kMaxPlainLine = 998;
constexpr qsizetype kQpLine = 76;

bool IsPrintableAscii(const QByteArray& bytes) {
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) return false;
    }
    return true;
}

// Bare LF and bare CR both become CRLF.
QByteArrayList BodyLines(const QByteArray& body) {
    QByteArray normal;
    normal.reserve(body.size() + body.size() / 32);
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\r') {
            normal.append('\n');
            if (i + 1 < body.size() && body[i + 1] == '\n') ++i;
        } else {
            normal.append(c);
        }
    }
    return normal.split('\n');
}

bool NeedsEncoding(const QByteArrayList& lines) {
    for (const QByteArray& line : lines) {
        if (line.size() > kMaxPlainLine) return true;
        for (char c : line) {
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x80 || u == 0 || (u < 0x20 && c != '\t')) return true;
        }
    }
    return false;
}

QByteArray QuotedPrintableLine(const QByteArray& line) {
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    qsizetype column = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto u = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        QByteArray piece;
        if ((u >= 33 && u <= 126 && u != '=') || ((u == ' ' || u == '\t') && !last)) {
            piece.append(static_cast<char>(u));
        } else {
            piece.append('=').append(kHex[u >> 4]).append(kHex[u & 15]);
        }
        if (column + piece.size() > kQpLine - 1) {
            out.append("=\r\n");
            column = 0;
        }
        out.append(piece);
        column += piece.size();
    }
    return out;
}

}  // namespace

bool IsValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

QByteArray HeaderValue(const QByteArray& value) {
    QByteArray out;
    out.reserve(value.size());
    bool inBreak = false;
    for (char c : value) {
        if (c == '\r' || c == '\n') {
            if (!inBreak) out.append(' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        out.append(c == '\0' ? ' ' : c);
    }
    return out;
}

QByteArray EncodedSubject(const QByteArray& subject) {
    const QByteArray flat = HeaderValue(subject);
    if (IsPrintableAscii(flat) && flat.size() <= 900) return flat;
    const bool utf8 = IsValidUtf8(flat);
    const QByteArray prefix = utf8 ? "=?UTF-8?B?" : "=?ISO-8859-1?B?";
    QByteArrayList words;
    qsizetype i = 0;
    while (i < flat.size()) {
        qsizetype end = qMin(flat.size(), i + 45);
        // Never split a UTF-8 sequence between two words.
        if (utf8)
            while (end < flat.size() && (static_cast<unsigned char>(flat[end]) & 0xC0) == 0x80)
                --end;
        if (end <= i) end = qMin(flat.size(), i + 45);
        words.append(prefix + flat.mid(i, end - i).toBase64() + "?=");
        i = end;
    }
    return words.join("\r\n ");
}

QByteArray EnvelopeAddress(const QByteArray& typed) {
    if (typed.endsWith('>')) {
        const qsizetype open = typed.lastIndexOf('<');
        if (open > 0) return typed.mid(open + 1, typed.size() - open - 2);
    }
    return typed;
}

QByteArray Compose(const Parts& parts) {
    const QByteArrayList lines = BodyLines(parts.body);
    const bool encode = NeedsEncoding(lines);
    QByteArray charset = "us-ascii";
    if (encode) charset = IsValidUtf8(parts.body) ? "UTF-8" : "ISO-8859-1";

    QByteArray out;
    out += "From: " + HeaderValue(parts.from) + "\r\n";
    out += "To: " + HeaderValue(parts.to) + "\r\n";
    out += "Subject: " + EncodedSubject(parts.subject) + "\r\n";
    // RFC 5322 date in English whatever the locale, with the numeric zone.
    const int offset = parts.date.offsetFromUtc();
    const int absOffset = offset < 0 ? -offset : offset;
    out +=
        "Date: " +
        QLocale::c().toString(parts.date, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")).toLatin1() +
        (offset < 0 ? "-" : "+") + QByteArray::number(absOffset / 3600).rightJustified(2, '0') +
        QByteArray::number((absOffset % 3600) / 60).rightJustified(2, '0') + "\r\n";
    out += "Message-ID: " + parts.messageId + "\r\n";
    out += "MIME-Version: 1.0\r\n";
    out += "Content-Type: text/plain; charset=" + charset + "\r\n";
    out += QByteArray("Content-Transfer-Encoding: ") + (encode ? "quoted-printable" : "7bit") +
           "\r\n\r\n";
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out += encode ? QuotedPrintableLine(lines[i]) : lines[i];
        if (i + 1 < lines.size()) out += "\r\n";
    }
    return out;
}

}  // namespace MailMessage
