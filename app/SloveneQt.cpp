#include "app/SloveneQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

namespace zen {

namespace {

// Texts Debian's Slovene catalog lacks. Qt 5 moved the standard button texts from the
// context "QDialogButtonBox" to "QPlatformTheme", and the catalog has only the old context,
// so without these every message box would say "OK" and "Cancel" (the words are the old
// catalog's). The print dialog's file printer and the file dialog's kinds of entry were
// never in it.
constexpr struct {
    const char* context;
    const char* source;
    const char* slovene;
} kTexts[] = {
    {"QPlatformTheme", "OK", "V redu"},
    {"QPlatformTheme", "Save", "Shrani"},
    {"QPlatformTheme", "Save All", "Shrani vse"},
    {"QPlatformTheme", "Open", "Odpri"},
    {"QPlatformTheme", "&Yes", "&Da"},
    {"QPlatformTheme", "Yes to &All", "Da za &vse"},
    {"QPlatformTheme", "&No", "&Ne"},
    {"QPlatformTheme", "N&o to All", "N&e za vse"},
    {"QPlatformTheme", "Abort", "Prekini"},
    {"QPlatformTheme", "Retry", "Poskusi znova"},
    {"QPlatformTheme", "Ignore", "Spreglej"},
    {"QPlatformTheme", "Close", "Zapri"},
    {"QPlatformTheme", "Cancel", "Prekliči"},
    {"QPlatformTheme", "Discard", "Zavrzi"},
    {"QPlatformTheme", "Don't Save", "Ne shrani"},
    {"QPlatformTheme", "Close without Saving", "Zapri brez shranjevanja"},
    {"QPlatformTheme", "Help", "Pomoč"},
    {"QPlatformTheme", "Apply", "Uveljavi"},
    {"QPlatformTheme", "Reset", "Ponastavi"},
    {"QPlatformTheme", "Restore Defaults", "Obnovi privzete vrednosti"},
    {"QPrintDialog", "Local file", "Datoteka na tem računalniku"},
    {"QPrintDialog", "Write PDF file", "Zapis datoteke PDF"},
    {"QAbstractFileIconProvider", "Folder", "Mapa"},
    {"QAbstractFileIconProvider", "Drive", "Pogon"},
    {"QAbstractFileIconProvider", "File", "Datoteka"},
    {"QAbstractFileIconProvider", "%1 File", "Datoteka %1"},
    {"QAbstractFileIconProvider", "Unknown", "Neznano"},
};

class TMissingTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (!context || !source) {
            return {};
        }
        for (const auto& t : kTexts) {
            if (std::strcmp(context, t.context) == 0 && std::strcmp(source, t.source) == 0) {
                return QString::fromUtf8(t.slovene);
            }
        }
        return {};
    }
};

} // namespace

QString QtTranslationsDir() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

int InstallSloveneQt(QCoreApplication& app) {
    QLocale slovene(QLocale::Slovenian, QLocale::Slovenia);
    QLocale::setDefault(slovene);
    int loaded = 0;
    for (const char* catalog : {"qtbase", "qt"}) {
        auto* t = new QTranslator(&app);
        if (t->load(slovene, catalog, "_", QtTranslationsDir())) {
            QCoreApplication::installTranslator(t);
            ++loaded;
        } else {
            delete t;
        }
    }
    // Installed last, so asked first; it answers only for the texts the catalog lacks.
    QCoreApplication::installTranslator(new TMissingTexts(&app));
    return loaded;
}

} // namespace zen
