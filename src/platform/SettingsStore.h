#pragma once

#include <QSettings>
#include <QString>
#include <memory>

// The per-user settings profile: sections of named text and unsigned 32-bit integer entries
// below the company key "Orvex" and the application key "Quorvatel". Every read falls back
// to the caller's default; a stored empty text counts as absent. Every write reaches the
// disk before the call returns (within a Batch, when the batch ends), and the file stays readable
// by its owner only because it holds the scrambled administrator password.
class SettingsStore {
public:
    static constexpr const char* kCompany = "Orvex";
    static constexpr const char* kApplication = "Quorvatel";
    // QSettings has no unnamed value; the empty entry name maps to this key.
    static constexpr const char* kUnnamedKey = "Default";

    // The user's own profile ($XDG_CONFIG_HOME/Orvex/Quorvatel.conf on Linux).
    SettingsStore();
    // A profile in the given INI file (tests, tools).
    explicit SettingsStore(const QString& iniPath);
    ~SettingsStore();

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    QString ReadText(const QString& section, const QString& key,
                     const QString& defaultValue = QString()) const;
    bool WriteText(const QString& section, const QString& key, const QString& value);
    quint32 ReadInt(const QString& section, const QString& key, quint32 defaultValue) const;
    bool WriteInt(const QString& section, const QString& key, quint32 value);

    QString FilePath() const;
    // False when the file is there but could not be read as settings (not an INI file).
    bool Readable() const;
    // False when the file could not be read or the last save did not reach the disk.
    bool Saved() const;

    // While one lives, writes are held and reach the disk together when the last one ends:
    // each write on its own rewrites the whole file, so a list of 10,000 recipients written
    // entry by entry took minutes. Reads see the held values at once.
    class Batch {
    public:
        explicit Batch(SettingsStore& store) : m_store(store) { ++m_store.m_batches; }
        ~Batch() {
            if (--m_store.m_batches == 0) m_store.Commit();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        SettingsStore& m_store;
    };

    // Strict reading of a stored integer: only a whole decimal number of 0 to 4294967295.
    static bool ParseUInt32(const QString& text, quint32& value);

private:
    QString KeyPath(const QString& section, const QString& key) const;
    bool Commit();

    std::unique_ptr<QSettings> m_settings;
    int m_batches = 0;  // open Batch scopes
};
