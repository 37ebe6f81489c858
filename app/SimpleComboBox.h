#pragma once

#include <QWidget>

#include <cstdint>
#include <optional>

class QLineEdit;
class QListWidget;

namespace horalux {

// A combo box whose list is always shown beneath its edit field, with no drop-down
// button. Each entry carries a numeric item data. Selecting an entry puts its text into
// the edit field; typing in the field selects the first entry that starts with the typed
// text (none when no entry does) and leaves the text as typed. Up and Down in the field
// move the selection through the list.
class SimpleComboBox : public QWidget {
    Q_OBJECT

public:
    explicit SimpleComboBox(QWidget* parent = nullptr);

    void addItem(const QString& text, std::int32_t value);
    int count() const;
    // Selected entry, -1 when none.
    int currentIndex() const;
    // Selects `index` and shows its text in the edit field; -1 clears the selection only.
    void setCurrentIndex(int index);
    QString itemText(int index) const;
    // Item data stored at `index`; nothing outside the entries.
    std::optional<std::int32_t> itemData(int index) const;
    // Text of the edit field.
    QString text() const;
    void setText(const QString& text);

    QLineEdit* editField() const { return m_edit; }
    QListWidget* listView() const { return m_list; }

signals:
    // The edit field's text changed, by typing or by a selection.
    void textChanged(const QString& text);
    // An entry was selected by the user or by setCurrentIndex.
    void entrySelected(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void selectRow(int row);
    void followTypedText(const QString& text);

    // The edit field at the top.
    QLineEdit* m_edit;
    // The list of entries under the edit field.
    QListWidget* m_list;
};

}  // namespace horalux
