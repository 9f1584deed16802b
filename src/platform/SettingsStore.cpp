#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// A hand-edited INI value with commas comes back as a list; the store only knows text.
QString VariantToText(const QVariant& v) {
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QStringLiteral(", "));
    if (!v.canConvert<QString>()) return QString();
    return v.toString();
}

}  // namespace

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QString::fromLatin1(kCompany),
                                             QString::fromLatin1(kApplication))) {}

SettingsStore::SettingsStore(const QString& iniPath)
    : m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::FilePath() const {
    return m_settings->fileName();
}

bool SettingsStore::Readable() const {
    // Sections are parsed when first read: a damaged line shows only once all of them are.
    (void)m_settings->allKeys();
    return m_settings->status() != QSettings::FormatError;
}

bool SettingsStore::Saved() const {
    return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::KeyPath(const QString& section, const QString& key) const {
    const QString name = key.isEmpty() ? QString::fromLatin1(kUnnamedKey) : key;
    if (section.isEmpty()) return name;
    return section + QLatin1Char('/') + name;
}

QString SettingsStore::ReadText(const QString& section, const QString& key,
                                const QString& defaultValue) const {
    const QVariant v = m_settings->value(KeyPath(section, key));
    if (!v.isValid()) return defaultValue;
    const QString text = VariantToText(v);
    return text.isEmpty() ? defaultValue : text;
}

bool SettingsStore::WriteText(const QString& section, const QString& key, const QString& value) {
    m_settings->setValue(KeyPath(section, key), value);
    return m_batches > 0 || Commit();
}

bool SettingsStore::ParseUInt32(const QString& text, quint32& value) {
    if (text.isEmpty() || text.size() > 10) return false;
    quint64 n = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
        n = n * 10 + static_cast<quint64>(c.unicode() - '0');
    }
    if (n > 0xFFFFFFFFull) return false;
    value = static_cast<quint32>(n);
    return true;
}

quint32 SettingsStore::ReadInt(const QString& section, const QString& key,
                               quint32 defaultValue) const {
    const QVariant v = m_settings->value(KeyPath(section, key));
    if (!v.isValid()) return defaultValue;
    quint32 value = 0;
    return ParseUInt32(VariantToText(v), value) ? value : defaultValue;
}

bool SettingsStore::WriteInt(const QString& section, const QString& key, quint32 value) {
    m_settings->setValue(KeyPath(section, key), value);
    return m_batches > 0 || Commit();
}

bool SettingsStore::Commit() {
    const QString path = m_settings->fileName();
    // Create the file private before Qt first writes it; later saves keep its permissions.
    if (!QFileInfo::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.close();
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_settings->sync();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return m_settings->status() == QSettings::NoError;
}
