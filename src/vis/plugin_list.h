#pragma once
// The plugin host's found-plugins text cut into file items. Pure; any thread.

#include <QString>
#include <QStringList>

namespace mirvane::vis {

// Items in order. Blanks and control characters before an item are skipped; an item that
// begins with '"' runs to the matching closing quote ("" inside stands for one quote) and
// loses its quotes; any other item runs up to the next comma, blank or control character.
// After an item blanks are skipped and a comma is consumed with the blanks after it; a comma
// at the very end adds one empty item. So an unquoted path with a blank gives two items.
QStringList SplitPluginList(const QString &text);

} // namespace mirvane::vis
