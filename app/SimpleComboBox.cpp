#include "app/SimpleComboBox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

namespace horalux {
namespace {

// Item data role of an entry's numeric item data.
constexpr int kItemDataRole = Qt::UserRole;

}  // namespace

SimpleComboBox::SimpleComboBox(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_list(new QListWidget(this)) {
    m_edit->setObjectName("CmbCountryEdit");
    m_list->setObjectName("CmbCountryList");
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_list->setTextElideMode(Qt::ElideNone);
    setFocusProxy(m_edit);
    m_edit->installEventFilter(this);

    connect(m_edit, &QLineEdit::textChanged, this, &SimpleComboBox::textChanged);
    connect(m_edit, &QLineEdit::textEdited, this, &SimpleComboBox::followTypedText);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { selectRow(m_list->row(item)); });
}

void SimpleComboBox::addItem(const QString& text, std::int32_t value) {
    auto* item = new QListWidgetItem(text, m_list);
    item->setData(kItemDataRole, value);
}

int SimpleComboBox::count() const {
    return m_list->count();
}

int SimpleComboBox::currentIndex() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.front());
}

void SimpleComboBox::setCurrentIndex(int index) {
    if (index < 0 || index >= m_list->count()) {
        m_list->clearSelection();
        m_edit->clear();
        return;
    }
    selectRow(index);
}

void SimpleComboBox::followTypedText(const QString& text) {
    // The list follows what is typed: the first entry that starts with it is selected,
    // and none when no entry does. The typed text itself stays as it is.
    int match = -1;
    if (!text.isEmpty()) {
        for (int row = 0; row < m_list->count(); ++row) {
            if (m_list->item(row)->text().startsWith(text, Qt::CaseInsensitive)) {
                match = row;
                break;
            }
        }
    }
    if (match < 0) {
        m_list->clearSelection();
        return;
    }
    m_list->setCurrentRow(match, QItemSelectionModel::ClearAndSelect);
    m_list->scrollToItem(m_list->item(match));
}

void SimpleComboBox::selectRow(int row) {
    m_list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    m_list->scrollToItem(m_list->item(row));
    m_edit->setText(m_list->item(row)->text());
    m_edit->selectAll();
    emit entrySelected(row);
}

QString SimpleComboBox::itemText(int index) const {
    const QListWidgetItem* item = m_list->item(index);
    return item == nullptr ? QString() : item->text();
}

std::optional<std::int32_t> SimpleComboBox::itemData(int index) const {
    const QListWidgetItem* item = m_list->item(index);
    if (item == nullptr) {
        return std::nullopt;
    }
    return item->data(kItemDataRole).toInt();
}

QString SimpleComboBox::text() const {
    return m_edit->text();
}

void SimpleComboBox::setText(const QString& text) {
    m_edit->setText(text);
}

bool SimpleComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int step = key->key() == Qt::Key_Down ? 1 : key->key() == Qt::Key_Up ? -1 : 0;
        if (step != 0 && m_list->count() > 0) {
            const int current = currentIndex();
            const int row = current < 0 ? 0 : std::clamp(current + step, 0, m_list->count() - 1);
            selectRow(row);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SimpleComboBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int editHeight = m_edit->sizeHint().height();
    m_edit->setGeometry(0, 0, width(), editHeight);
    m_list->setGeometry(0, editHeight, width(), height() - editHeight);
}

}  // namespace horalux
