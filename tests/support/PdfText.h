#pragma once

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Reads a printed PDF back with poppler's command-line tools.
namespace PdfText {

inline QString Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The page count pdfinfo reports; -1 when the file does not read as a PDF.
inline int Pages(const QString& pdf) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"),
                                                         QRegularExpression::MultilineOption)
                                          .match(Run(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of one page (1-based), in its printed layout.
inline QString Page(const QString& pdf, int page) {
    const QString n = QString::number(page);
    return Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"), n,
                                             QStringLiteral("-l"), n, pdf, QStringLiteral("-")});
}

// Every page's text; pages are separated by form feeds.
inline QStringList AllPages(const QString& pdf) {
    QStringList pages =
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")})
            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

// One page rendered in grey at `dpi`, hairlines at least one pixel wide.
inline QImage Render(const QString& pdf, int page, const QString& outBase, int dpi = 100) {
    const QString n = QString::number(page);
    Run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-gray"), QStringLiteral("-png"), QStringLiteral("-r"),
         QString::number(dpi), QStringLiteral("-thinlinemode"), QStringLiteral("solid"),
         QStringLiteral("-singlefile"), QStringLiteral("-f"), n, QStringLiteral("-l"), n, pdf,
         outBase});
    return QImage(outBase + QStringLiteral(".png"));
}

}  // namespace PdfText
