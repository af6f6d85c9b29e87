#pragma once
// The credits text's line markup: tags in square brackets that set the font, size, colour,
// style and centring of the line they stand in. Pure; callable from any thread.
//
// Tags, compared exactly (case matters): "b", "i", "u", "center", "font=" face,
// "size=" points, "color=" 0x00BBGGRR number (red in the low byte). Any other tag is ignored.
// A tag acts on its whole line wherever it stands; every line starts from the default style.
// A "size=" or "color=" whose value is not a decimal integer (or a size below 1) is skipped
// and the rest of the line is drawn as usual.
//
// A "]" outside a tag and a "[" inside one are dropped. A tag still open at the end of a line
// stays open: its text so far is lost, and the next line's characters up to its first "]"
// become the tag.

#include <QColor>
#include <QString>
#include <QStringList>
#include <vector>

namespace mirvane::credits {

struct LineStyle {
    QString face = "Courier New";
    int pointSize = 10;
    QColor color = Qt::white;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool center = false;

    bool operator==(const LineStyle &) const = default;
};

struct Line {
    QString text; // visible text, tags removed
    LineStyle style;
};

// A colour value 0x00BBGGRR as a colour.
QColor ColorFromBgr(quint32 value);

// Reads one line after another; keeps the open-tag state from one line to the next.
class MarkupReader {
  public:
    Line Read(const QString &line, const LineStyle &defaults);
    bool InTag() const { return inTag_; }

  private:
    bool inTag_ = false;
};

// Every line of `text` read in order by one reader.
std::vector<Line> ParseLines(const QStringList &text, const LineStyle &defaults);

} // namespace mirvane::credits
