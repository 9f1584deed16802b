#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

// A real SMTP server on 127.0.0.1 for tests: runs tests/support/smtp_sink.py (aiosmtpd) on
// a free port and reads back the messages it received. The server is stopped when the
// object goes, whatever happens in the test.
class SmtpSink {
public:
    struct Message {
        QString mailFrom;
        QStringList rcptTos;
        QByteArray data;  // the message as received: headers, blank line, body

        // The header lines, each with its line end.
        QByteArray Headers() const { return data.left(data.indexOf("\r\n\r\n") + 2); }
        // Everything after the blank line, as sent.
        QByteArray Body() const { return data.mid(data.indexOf("\r\n\r\n") + 4); }
        // The value of header `name` as sent (without its line end); empty when absent.
        QByteArray Header(const QByteArray& name) const {
            const QByteArray headers = "\r\n" + Headers();
            const qsizetype at = headers.indexOf("\r\n" + name + ": ");
            if (at < 0) return QByteArray();
            const qsizetype start = at + name.size() + 4;
            return headers.mid(start, headers.indexOf("\r\n", start) - start);
        }
    };

    SmtpSink() = default;
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;
    ~SmtpSink() { Stop(); }

    // Starts the server, which stores each message in `dir` (it must exist). Waits for the
    // port line at most `timeoutMs`; false with ErrorText() set when the server did not come up.
    bool Start(const QString& dir, int timeoutMs = 15000) {
        Stop();
        m_dir = dir;
        m_error.clear();
        const QString script = ScriptPath();
        if (!QFileInfo::exists(script)) {
            m_error = QStringLiteral("no SMTP sink script at ") + script;
            return false;
        }
        m_process.setProgram(PythonPath());
        m_process.setArguments({script, dir});
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs)) {
            m_error = QStringLiteral("cannot start ") + PythonPath() + QStringLiteral(": ") +
                      m_process.errorString();
            return false;
        }
        const QDeadlineTimer deadline(timeoutMs);
        while (!m_process.canReadLine()) {
            if (m_process.state() != QProcess::Running || deadline.hasExpired() ||
                !m_process.waitForReadyRead(
                    static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
                if (m_process.canReadLine()) break;
                m_error = QStringLiteral("the SMTP sink did not report its port: ") +
                          QString::fromUtf8(m_process.readAllStandardError());
                Stop();
                return false;
            }
        }
        bool ok = false;
        const int port = QString::fromLatin1(m_process.readLine()).trimmed().toInt(&ok);
        if (!ok || port <= 0 || port > 65535) {
            m_error = QStringLiteral("the SMTP sink printed no port");
            Stop();
            return false;
        }
        m_port = static_cast<quint16>(port);
        return true;
    }

    quint16 Port() const { return m_port; }
    QString ErrorText() const { return m_error; }

    // The messages received so far, in arrival order.
    QList<Message> Messages() const {
        QList<Message> messages;
        const QStringList files =
            QDir(m_dir).entryList({QStringLiteral("msg-*.json")}, QDir::Files, QDir::Name);
        for (const QString& name : files) {
            QFile file(QDir(m_dir).filePath(name));
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
            Message m;
            m.mailFrom = o.value(QStringLiteral("mailFrom")).toString();
            for (const QJsonValue& v : o.value(QStringLiteral("rcptTos")).toArray())
                m.rcptTos.append(v.toString());
            m.data =
                QByteArray::fromBase64(o.value(QStringLiteral("dataBase64")).toString().toLatin1());
            messages.append(m);
        }
        return messages;
    }

    // Waits until at least `count` messages arrived; false after `timeoutMs`.
    bool WaitForMessages(int count, int timeoutMs = 10000) const {
        const QDeadlineTimer deadline(timeoutMs);
        while (Messages().size() < count) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
        return true;
    }

    void Stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) {
                m_process.kill();
                m_process.waitForFinished(2000);
            }
        }
        m_port = 0;
    }

    static QString ScriptPath() {
        return QDir::cleanPath(QStringLiteral(QV_TEST_DATA_DIR "/../support/smtp_sink.py"));
    }

    // Debian's interpreter, which has aiosmtpd; another python3 on PATH may not.
    static QString PythonPath() {
        const QString debian = QStringLiteral("/usr/bin/python3");
        return QFileInfo::exists(debian) ? debian : QStringLiteral("python3");
    }

private:
    QProcess m_process;
    QString m_dir;
    QString m_error;
    quint16 m_port = 0;
};
