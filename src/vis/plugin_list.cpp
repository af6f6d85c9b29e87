#include "vis/plugin_list.h"

namespace mirvane::vis {

namespace {
bool isBlankOrControl(QChar c) {
    return c.unicode() <= ' ';
}
} // namespace

QStringList SplitPluginList(const QString &text) {
    QStringList items;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isBlankOrControl(text[i]))
        ++i;
    while (i < n) {
        QString item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && text[i] != ',' && !isBlankOrControl(text[i]))
                item += text[i++];
        }
        items << item;
        while (i < n && text[i] == ' ')
            ++i;
        if (i < n && text[i] == ',') {
            ++i;
            if (i == n) {
                items << QString();
                break;
            }
        }
        while (i < n && isBlankOrControl(text[i]))
            ++i;
    }
    return items;
}

} // namespace mirvane::vis
