#include "dialogs/qt/FrmConnect.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

#include "platform/qt/QtConvert.h"

namespace horalux {

using twips::px;

namespace {

// Client area, in twips.
constexpr int kClientWidth = 5415;
constexpr int kClientHeight = 1635;

QLabel* makeLabel(QWidget* parent, const char* name, const char* text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

FrmConnect::FrmConnect(FrmConnectState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_logic(*this, state) {
    setObjectName("FrmConnect");
    setWindowTitle("Connection");
    // No icon: a blank one stands in for the program's.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    setFont(dialogFont());
    setFixedSize(px(kClientWidth), px(kClientHeight));

    QLabel* label1 = makeLabel(this, "Label1", "Connection type");
    label1->setGeometry(twips::rect(120, 150, 1215, 255));

    m_cmbType = new QComboBox(this);
    m_cmbType->setObjectName("CmbType");
    m_cmbType->setGeometry(twips::rect(1680, 120, 3255, 315));
    for (const char* entry : kConnectionTypes) {
        m_cmbType->addItem(entry);
    }
    m_cmbType->setCurrentIndex(-1);

    QPushButton* save = makeButton(this, "Command1", "&Save", twips::rect(1380, 600, 1215, 495));
    QPushButton* cancel =
        makeButton(this, "Command2", "&Cancel", twips::rect(2820, 600, 1215, 495));

    QLabel* label2 = makeLabel(this, "Label2", "This feature is for temporary use only");
    label2->move(px(1417), px(1080));
    label2->adjustSize();

    QLabel* label3 = makeLabel(this, "Label3",
                               "Proxy Settings are used from IE (Internet Explorer) web browser.");
    label3->setGeometry(twips::rect(465, 1320, 4485, 195));
    // The stand-in for the designed font is a little wider; the line is never cut short.
    label3->resize(std::max(label3->width(), label3->sizeHint().width()), label3->height());

    QWidget::setTabOrder(m_cmbType, save);
    QWidget::setTabOrder(save, cancel);
    m_cmbType->setFocus();

    connect(save, &QPushButton::clicked, this, [this] { m_logic.Command1_Click(); });
    connect(cancel, &QPushButton::clicked, this, [this] { m_logic.Command2_Click(); });
}

void FrmConnect::load() {
    m_logic.Form_Load();
}

int FrmConnect::typeSelectedIndex() const {
    return m_cmbType->currentIndex();
}

void FrmConnect::setTypeSelectedIndex(int index) {
    m_cmbType->setCurrentIndex(index);
}

void FrmConnect::hideDialog() {
    QDialog::hide();
}

void FrmConnect::closeEvent(QCloseEvent* event) {
    m_closedFromFrame = true;
    event->accept();
}

void FrmConnect::reject() {}

}  // namespace horalux
