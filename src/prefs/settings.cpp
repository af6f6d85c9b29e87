#include "prefs/settings.h"

#include <QIODevice>
#include <QSettings>
#include <QStringList>
#include <memory>

namespace mirvane::settings {
namespace {

// One value per line: name=123 for numbers, name="text" for strings (with \\, \", \n, \r,
// \t and \0 escaped). Lines that fit neither form are left out when reading, so a value
// damaged by hand reads as missing instead of as a wrong number.

QByteArray Quote(const QString &text) {
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            out += c;
        }
    }
    out += '"';
    return out;
}

std::optional<QString> Unquote(const QByteArray &value) {
    if (value.size() < 2 || !value.startsWith('"') || !value.endsWith('"')) {
        return std::nullopt;
    }
    QByteArray raw;
    for (qsizetype i = 1; i < value.size() - 1; ++i) {
        char c = value[i];
        if (c == '"') {
            return std::nullopt; // an unescaped quote inside: not our form
        }
        if (c == '\\') {
            if (++i >= value.size() - 1) {
                return std::nullopt;
            }
            switch (value[i]) {
            case '\\':
                c = '\\';
                break;
            case '"':
                c = '"';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 't':
                c = '\t';
                break;
            case '0':
                c = '\0';
                break;
            default:
                return std::nullopt;
            }
        }
        raw += c;
    }
    return QString::fromUtf8(raw);
}

bool ReadStore(QIODevice &device, QSettings::SettingsMap &map) {
    const QByteArray all = device.readAll();
    for (QByteArray line : all.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith(';') ||
            line.startsWith('[')) {
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) {
            continue;
        }
        const QString name = QString::fromUtf8(line.left(eq).trimmed());
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (value.startsWith('"')) {
            if (auto text = Unquote(value)) {
                map.insert(name, *text);
            }
            continue;
        }
        bool ok = false;
        const int number = value.toInt(&ok, 10);
        if (ok) {
            map.insert(name, number);
        }
    }
    return true;
}

bool WriteStore(QIODevice &device, const QSettings::SettingsMap &map) {
    QByteArray out = "# Mirvane Player settings\n";
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QVariant &v = it.value();
        out += it.key().toUtf8() + '=';
        switch (v.typeId()) {
        case QMetaType::Bool:
            out += v.toBool() ? "1" : "0";
            break;
        case QMetaType::Int:
            out += QByteArray::number(v.toInt());
            break;
        default:
            out += Quote(v.toString());
            break;
        }
        out += '\n';
    }
    return device.write(out) == out.size();
}

QSettings::Format StoreFormat() {
    static const QSettings::Format format =
        QSettings::registerFormat("conf", ReadStore, WriteStore, Qt::CaseSensitive);
    return format;
}

std::unique_ptr<QSettings> Open() {
    const QString path = FilePath();
    auto store = std::make_unique<QSettings>(path, StoreFormat());
    if (store->status() != QSettings::NoError) {
        return nullptr;
    }
    return store;
}

QVariant Read(const QString &name, QMetaType::Type type) {
    auto store = Open();
    if (!store) {
        return {};
    }
    const QVariant v = store->value(name);
    // A bool written through this process is still cached as a bool; on disk it is a number.
    if (type == QMetaType::Int && v.typeId() == QMetaType::Bool) {
        return v.toBool() ? 1 : 0;
    }
    return v.typeId() == type ? v : QVariant();
}

bool Write(const QString &name, const QVariant &value) {
    auto store = Open();
    if (!store || !store->isWritable()) {
        return false;
    }
    store->setValue(name, value);
    store->sync();
    return store->status() == QSettings::NoError;
}

} // namespace

QString FilePath() {
    const QString named = qEnvironmentVariable("MIRVANE_SETTINGS");
    if (!named.isEmpty()) {
        return named;
    }
    return QSettings(StoreFormat(), QSettings::UserScope, "Halvorn", "Mirvane").fileName();
}

std::optional<int> ReadInteger(const QString &name) {
    const QVariant v = Read(name, QMetaType::Int);
    if (!v.isValid()) {
        return std::nullopt;
    }
    return v.toInt();
}

std::optional<bool> ReadBool(const QString &name) {
    const auto v = ReadInteger(name);
    if (!v) {
        return std::nullopt;
    }
    return *v != 0;
}

std::optional<QString> ReadString(const QString &name) {
    const QVariant v = Read(name, QMetaType::QString);
    if (!v.isValid()) {
        return std::nullopt;
    }
    return v.toString();
}

bool WriteInteger(const QString &name, int value) {
    return Write(name, value);
}
bool WriteBool(const QString &name, bool value) {
    return Write(name, value ? 1 : 0);
}
bool WriteString(const QString &name, const QString &value) {
    return Write(name, value);
}

} // namespace mirvane::settings
