#pragma once
// Qt's own texts in Slovene: the buttons of message boxes, the print preview's toolbar, the
// calendar's month and day names, the print and file dialogs. The operators read Slovene
// only, so these are Slovene whatever the process locale, as are the dates typed in the
// date field.

#include <QString>

class QCoreApplication;

namespace zen {

// Where Qt's catalogs lie (Debian's qt6-translations-l10n puts them in
// /usr/share/qt6/translations).
QString QtTranslationsDir();

// Makes Slovene the default QLocale, installs Qt's Slovene catalogs found in
// QtTranslationsDir() ("qtbase_sl", "qt_sl"), and over them the texts that the stock
// Slovene catalog lacks (the standard buttons, the print dialog's file printer, the file
// dialog's kinds of entry). The translators belong to the application. Returns how
// many stock catalogs were loaded; 0 means the package is missing and Qt's texts other
// than the standard buttons stay English.
int InstallSloveneQt(QCoreApplication& app);

} // namespace zen
