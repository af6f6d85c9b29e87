#include "radio/icy_text.h"

#include <cstring>

namespace mirvane::radio {
namespace {

// Windows-1251, bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr char16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// Windows-1252, bytes 0x80..0x9F; the rest is Latin-1.
constexpr char16_t kCp1252Ctl[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

bool isValidUtf8(const QByteArray &b) {
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned c = p[i];
        int extra;
        unsigned min;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            min = 0x10000;
        } else {
            return false;
        }
        unsigned cp = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

bool isAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Positive: looks like Windows-1251; negative or 0: Windows-1252.
int cyrillicScore(const QByteArray &b) {
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const qsizetype n = b.size();
    int score = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] < 0xC0)
            continue;
        const bool prevHigh = i > 0 && p[i - 1] >= 0xC0;
        const bool nextHigh = i + 1 < n && p[i + 1] >= 0xC0;
        const bool prevLatin = i > 0 && isAsciiLetter(p[i - 1]);
        const bool nextLatin = i + 1 < n && isAsciiLetter(p[i + 1]);
        if (prevHigh || nextHigh)
            score += 2; // letters of a Cyrillic word follow each other
        if (prevLatin || nextLatin)
            score -= 3; // an accent inside a Latin word
        if (p[i] >= 0xE0)
            score += 1; // Cyrillic text is mostly lower case
    }
    return score;
}

} // namespace

QString DecodeStationText(const QByteArray &bytes) {
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    const bool cyrillic = cyrillicScore(bytes) > 0;
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out.append(QChar(c));
        else if (cyrillic)
            out.append(QChar(c >= 0xC0 ? char16_t(0x0410 + (c - 0xC0)) : kCp1251High[c - 0x80]));
        else
            out.append(QChar(c < 0xA0 ? kCp1252Ctl[c - 0x80] : char16_t(c)));
    }
    return out;
}

StationHeaders ParseStationHeaders(const char *tags, size_t size) {
    StationHeaders h;
    if (!tags)
        return h;
    size_t at = 0;
    while (at < size) {
        const char *line = tags + at;
        const size_t len = strnlen(line, size - at);
        if (len == 0)
            break;
        if (len >= 9 && std::memcmp(line, "icy-name:", 9) == 0) {
            if (!h.name)
                h.name = DecodeStationText(QByteArray(line + 9, qsizetype(len - 9)));
        } else if (len >= 7 && std::memcmp(line, "icy-br:", 7) == 0) {
            if (!h.bitrate)
                h.bitrate = DecodeStationText(QByteArray(line + 7, qsizetype(len - 7)));
        }
        at += len + 1;
    }
    return h;
}

std::optional<QByteArray> ParseStreamTitle(const QByteArray &meta) {
    static const QByteArray key = "StreamTitle=";
    const qsizetype p = meta.indexOf(key);
    if (p < 0)
        return std::nullopt;
    const qsizetype start = p + key.size();
    if (start >= meta.size())
        return QByteArray();
    const char quote = meta[start];
    if (quote != '\'' && quote != '"') {
        const qsizetype end = meta.indexOf(';', start);
        return meta.mid(start, end < 0 ? -1 : end - start);
    }
    // The closing quote is the one followed by ';' or the end; a stray quote inside is text.
    for (qsizetype i = start + 1; i < meta.size(); ++i) {
        if (meta[i] != quote)
            continue;
        if (i + 1 == meta.size() || meta[i + 1] == ';' || meta[i + 1] == '\0')
            return meta.mid(start + 1, i - start - 1);
    }
    return meta.mid(start + 1); // never closed: everything after the quote
}

} // namespace mirvane::radio
