#include "app/DataSourceBox.h"

#include "odbc/Henv.h"

#include <QLineEdit>

namespace zen {

TDataSourceBox::TDataSourceBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // A typed name is used as it is and never added to the list, which holds only what
    // the driver manager knows.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr); // completion would change the case of a typed name
    Refresh();
}

void TDataSourceBox::Refresh() {
    const QString typed = text();
    QStringList names;
    try {
        for (const std::string& name : THenv::Instance().DataSources()) {
            names << QString::fromStdString(name);
        }
    } catch (const std::exception&) {
        // Without the driver manager's list the name can still be typed; the sign-on says
        // what is wrong with it.
    }
    clear();
    addItems(names);
    // The list opens on the source the field names, or on none: Enter in the list must
    // never switch to another source.
    setCurrentIndex(findText(typed, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    setEditText(typed);
}

void TDataSourceBox::showPopup() {
    Refresh();
    QComboBox::showPopup();
}

} // namespace zen
