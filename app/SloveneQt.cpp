#include "app/SloveneQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>

namespace zen {

namespace {

// Qt 5 moved the standard button texts from the context "QDialogButtonBox" to
// "QPlatformTheme"; the Slovene catalog Debian ships has only the old context, so without
// these every message box would say "OK" and "Cancel". The words are the old catalog's.
constexpr struct {
    const char* source;
    const char* slovene;
} kButtons[] = {
    {"OK", "V redu"},
    {"Save", "Shrani"},
    {"Save All", "Shrani vse"},
    {"Open", "Odpri"},
    {"&Yes", "&Da"},
    {"Yes to &All", "Da za &vse"},
    {"&No", "&Ne"},
    {"N&o to All", "N&e za vse"},
    {"Abort", "Prekini"},
    {"Retry", "Poskusi znova"},
    {"Ignore", "Spreglej"},
    {"Close", "Zapri"},
    {"Cancel", "Prekliči"},
    {"Discard", "Zavrzi"},
    {"Don't Save", "Ne shrani"},
    {"Close without Saving", "Zapri brez shranjevanja"},
    {"Help", "Pomoč"},
    {"Apply", "Uveljavi"},
    {"Reset", "Ponastavi"},
    {"Restore Defaults", "Obnovi privzete vrednosti"},
};

class TButtonTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (!context || !source || std::strcmp(context, "QPlatformTheme") != 0) {
            return {};
        }
        for (const auto& b : kButtons) {
            if (std::strcmp(source, b.source) == 0) {
                return QString::fromUtf8(b.slovene);
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
    // Installed last, so asked first; it answers only for the standard buttons.
    QCoreApplication::installTranslator(new TButtonTexts(&app));
    return loaded;
}

} // namespace zen
