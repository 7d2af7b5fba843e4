// Install step: `cmake --install` runs it to write the desktop entry it puts into the
// applications folder, naming the program where that installation puts it, from the same
// extension list that the registration uses.
// Usage: tvx_desktop_entry <installed program path> <output file>
#include "system/DesktopAssoc.h"

#include "core/AtomicFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: tvx_desktop_entry <program path> <output file>\n");
        return 2;
    }
    const QByteArray text =
        desktop_assoc::desktopEntry(QStringLiteral("Tavrixo"), args.at(1), desktop_assoc::programMimeTypes())
            .toUtf8();
    if (!app::writeFileAtomically(args.at(2), text)) {
        std::fprintf(stderr, "tvx_desktop_entry: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
