#pragma once
// A read-only INI profile file (Skins.ini, iradio.ini) with the usual Windows profile rules:
// "[name]" lines open a section, "key=value" lines belong to the last opened section; section
// and key names compare without regard to case; names and values lose surrounding blanks.
// Sections keep their file order. When a section or key name occurs twice, the first one wins,
// as with the Windows profile functions. Lines before the first section, lines without "=" and
// lines starting with ";" are ignored.
//
// A plain value class: callable from any thread, no Qt event loop needed.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace mirvane {

// Reads a profile integer: optional sign, then decimal digits, or hexadecimal digits after
// "0x", "0X" or "$". Hexadecimal values up to FFFFFFFF wrap into the 32-bit signed range (so
// "$FFFFFFFF" is -1); anything else that does not fit, an empty text, or trailing characters
// give nothing. Surrounding blanks are allowed.
std::optional<int> ParseProfileInt(const QString &text);

class IniFile {
  public:
    IniFile() = default;

    // Reads the file at `path`. A missing or unreadable file gives an empty IniFile (every
    // lookup answers its default) with exists() false. Text is taken as UTF-8, or as Latin-1
    // when it is not valid UTF-8.
    static IniFile Load(const QString &path);
    static IniFile Parse(const QByteArray &bytes);

    bool exists() const { return exists_; }

    // Section names in file order, each name once (as first written).
    QStringList sections() const;
    bool hasSection(const QString &section) const;
    // Key names of a section in file order; empty for a missing section.
    QStringList keys(const QString &section) const;

    // The trimmed value, or nothing when the section or key is missing.
    std::optional<QString> value(const QString &section, const QString &key) const;
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // ParseProfileInt of the value; `def` when it is missing or not an integer.
    int readInteger(const QString &section, const QString &key, int def) const;

  private:
    struct Entry {
        QString key;
        QString value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
    };
    const Section *find(const QString &section) const;

    std::vector<Section> sections_;
    bool exists_ = false;
};

} // namespace mirvane
