// The interface's font family: the preferred Chinese family, else an installed CJK family, so
// Chinese text never falls back to a font without the glyphs.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// Picks from installedFamilies: the preferred family (by its Chinese or English name), then
// the first installed of the well-known CJK families, then any family of cjkCapableFamilies;
// the preferred English name when nothing fits (fontconfig then substitutes).
QString chooseUiFontFamily(const QStringList &installedFamilies, const QStringList &cjkCapableFamilies);
// The same over the font database of the running application.
QString uiFontFamily();

} // namespace app
