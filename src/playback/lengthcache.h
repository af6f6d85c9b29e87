#pragma once
// Remembers measured track lengths, so that writing a long unchanged playlist does not open
// every file again. An entry is reused only while the file keeps its size and modification
// time. GUI thread only.

#include <QDateTime>
#include <QHash>
#include <QString>
#include <functional>

namespace mirvane {

class LengthCache {
  public:
    using Measure = std::function<int(const QString &fileName)>;

    // The length in whole seconds of fileName: the remembered one when the file is unchanged,
    // otherwise measure(fileName), which is then remembered.
    int SecondsOf(const QString &fileName, const Measure &measure);

    void Remember(const QString &fileName, int seconds);
    qsizetype size() const { return entries_.size(); }

  private:
    struct Entry {
        qint64 size = -1;
        QDateTime modified;
        int seconds = 0;
    };
    QHash<QString, Entry> entries_;
};

} // namespace mirvane
