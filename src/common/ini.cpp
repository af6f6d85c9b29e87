#include "common/ini.h"

#include <QFile>
#include <QStringDecoder>

#include <cstdint>

namespace mirvane {

namespace {
int DigitValue(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') {
        return u - '0';
    }
    if (base == 16 && u >= 'a' && u <= 'f') {
        return u - 'a' + 10;
    }
    if (base == 16 && u >= 'A' && u <= 'F') {
        return u - 'A' + 10;
    }
    return -1;
}
} // namespace

std::optional<int> ParseProfileInt(const QString &text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        negative = t[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == t.size()) {
        return std::nullopt;
    }
    // Decimal must fit a signed 32-bit integer; hexadecimal may use all 32 bits.
    const std::uint64_t limit =
        base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t v = 0;
    for (; i < t.size(); ++i) {
        const int d = DigitValue(t[i], base);
        if (d < 0) {
            return std::nullopt;
        }
        v = v * base + d;
        if (v > limit) {
            return std::nullopt;
        }
    }
    auto bits = static_cast<std::uint32_t>(v);
    if (negative) {
        bits = 0u - bits;
    }
    return static_cast<int>(static_cast<std::int32_t>(bits));
}

IniFile IniFile::Load(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    IniFile ini = Parse(file.readAll());
    ini.exists_ = true;
    return ini;
}

IniFile IniFile::Parse(const QByteArray &bytes) {
    QString text;
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        text = utf8(bytes);
        if (utf8.hasError()) {
            text = QString::fromLatin1(bytes);
        }
    }
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace('\r', '\n');

    IniFile ini;
    ini.exists_ = true;
    Section *current = nullptr; // nullptr: before the first section, or in a repeated one
    for (const QString &raw : text.split('\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';')) {
            continue;
        }
        if (line.startsWith('[')) {
            qsizetype close = line.lastIndexOf(']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            if (ini.find(name)) {
                current = nullptr; // the first section of that name wins
            } else {
                ini.sections_.push_back(Section{name, {}});
                current = &ini.sections_.back();
            }
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq < 0 || !current) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        bool seen = false;
        for (const Entry &e : current->entries) {
            if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
                seen = true;
                break;
            }
        }
        if (!seen) {
            current->entries.push_back(Entry{key, line.mid(eq + 1).trimmed()});
        }
    }
    return ini;
}

const IniFile::Section *IniFile::find(const QString &section) const {
    const QString name = section.trimmed();
    for (const Section &s : sections_) {
        if (s.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &s;
        }
    }
    return nullptr;
}

QStringList IniFile::sections() const {
    QStringList names;
    for (const Section &s : sections_) {
        names << s.name;
    }
    return names;
}

bool IniFile::hasSection(const QString &section) const {
    return find(section) != nullptr;
}

QStringList IniFile::keys(const QString &section) const {
    QStringList names;
    if (const Section *s = find(section)) {
        for (const Entry &e : s->entries) {
            names << e.key;
        }
    }
    return names;
}

std::optional<QString> IniFile::value(const QString &section, const QString &key) const {
    const Section *s = find(section);
    if (!s) {
        return std::nullopt;
    }
    const QString k = key.trimmed();
    for (const Entry &e : s->entries) {
        if (e.key.compare(k, Qt::CaseInsensitive) == 0) {
            return e.value;
        }
    }
    return std::nullopt;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const {
    return value(section, key).value_or(def);
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const {
    const std::optional<QString> v = value(section, key);
    if (!v) {
        return def;
    }
    return ParseProfileInt(*v).value_or(def);
}

} // namespace mirvane
