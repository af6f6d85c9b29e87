#include "controls/credits_markup.h"

namespace mirvane::credits {
namespace {

void ApplyTag(const QString &tag, LineStyle &style) {
    if (tag == QLatin1String("b")) {
        style.bold = true;
    } else if (tag == QLatin1String("i")) {
        style.italic = true;
    } else if (tag == QLatin1String("u")) {
        style.underline = true;
    } else if (tag == QLatin1String("center")) {
        style.center = true;
    } else if (tag.startsWith(QLatin1String("font="))) {
        style.face = tag.mid(5);
    } else if (tag.startsWith(QLatin1String("size="))) {
        bool ok = false;
        const int size = tag.mid(5).toInt(&ok, 10);
        if (ok && size > 0) {
            style.pointSize = size;
        }
    } else if (tag.startsWith(QLatin1String("color="))) {
        bool ok = false;
        const qlonglong value = tag.mid(6).toLongLong(&ok, 10);
        if (ok && value >= 0 && value <= 0xFFFFFFFFLL) {
            style.color = ColorFromBgr(static_cast<quint32>(value));
        }
    }
}

} // namespace

QColor ColorFromBgr(quint32 value) {
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

Line MarkupReader::Read(const QString &line, const LineStyle &defaults) {
    Line out;
    out.style = defaults;
    out.style.center = false;
    QString tag;
    for (const QChar c : line) {
        if (inTag_) {
            if (c == u']') {
                inTag_ = false;
                ApplyTag(tag, out.style);
                tag.clear();
            } else if (c != u'[') {
                tag += c;
            }
        } else if (c == u'[') {
            inTag_ = true;
        } else if (c != u']') {
            out.text += c;
        }
    }
    return out;
}

std::vector<Line> ParseLines(const QStringList &text, const LineStyle &defaults) {
    MarkupReader reader;
    std::vector<Line> lines;
    lines.reserve(static_cast<size_t>(text.size()));
    for (const QString &line : text) {
        lines.push_back(reader.Read(line, defaults));
    }
    return lines;
}

} // namespace mirvane::credits
