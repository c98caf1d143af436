#pragma once
// "Baza tevrin": the data source of the Tevrin database, typed or chosen from the data
// sources the driver manager knows (the user's and the system's). The list is read anew
// each time it drops down, so a data source set up meanwhile is there.

#include <QComboBox>

namespace zen {

class TDataSourceBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDataSourceBox(QWidget* parent = nullptr);

    // The name as it stands in the field, typed or chosen.
    QString text() const { return currentText(); }
    void setText(const QString& text) { setEditText(text); }

    // Reads the list of data sources again; the text stays as it is.
    void Refresh();
    void showPopup() override;
};

} // namespace zen
