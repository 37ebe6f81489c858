#include "dialogs/qt/FrmAbout.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include <utility>

#include "platform/qt/QtConvert.h"

namespace horalux {

using twips::px;

const char* const kAboutDescription =
    "     This program is a simple time-zone clock that displays the time zone of the country "
    "you select. Time zone means each country is located at different axis on globe. So each "
    "country has its own local time from sunrise to sunset. This program retrieves selected "
    "country's local time, etc. from Zonarium";
const char* const kAboutDisclaimer =
    "Warning: the times shown are provided \"as is\" by the Zonarium server. Check them "
    "before you rely on them for travel, work or anything else that matters.";
const char* const kAboutContact = "Contact: horalux-team@example.org";

namespace {

// Client area, in twips, and its top left corner on the screen.
constexpr int kClientWidth = 5730;
constexpr int kClientHeight = 3555;
constexpr int kScreenLeft = 2340;
constexpr int kScreenTop = 1935;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

}  // namespace

FrmAbout::FrmAbout(Registry& registry, Desktop& desktop, ProgramInfo program, QIcon mainWindowIcon,
                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_logic(*this, registry, desktop, std::move(program)),
      m_mainWindowIcon(std::move(mainWindowIcon)) {
    setObjectName("frmAbout");
    setWindowTitle("About MyApp");
    setFont(dialogFont());
    setGeometry(px(kScreenLeft), px(kScreenTop), px(kClientWidth), px(kClientHeight));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    // Picture1: the picture inside a one-pixel sunken border.
    auto* picture = new QLabel(this);
    picture->setObjectName("Picture1");
    picture->setGeometry(twips::rect(240, 240, 450, 435));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setLineWidth(1);
    picture->setAlignment(Qt::AlignCenter);
    picture->setPixmap(QPixmap::fromImage(FrmAbout::picture()));

    m_lblTitle =
        makeLabel(this, "lblTitle", "Application Title", twips::rect(1050, 240, 3885, 360));
    QFont titleFont = dialogFont();
    titleFont.setPointSizeF(12);
    titleFont.setBold(true);
    m_lblTitle->setFont(titleFont);

    m_lblVersion = makeLabel(this, "lblVersion", "Version", {px(1800), px(600), 0, 0});
    m_lblVersion->adjustSize();

    QLabel* description =
        makeLabel(this, "lblDescription", kAboutDescription, twips::rect(1050, 840, 3885, 1170));
    description->setWordWrap(true);
    setTextColour(description, Qt::black);

    QLabel* disclaimer =
        makeLabel(this, "lblDisclaimer", kAboutDisclaimer, twips::rect(135, 2625, 3990, 825));
    disclaimer->setWordWrap(true);
    setTextColour(disclaimer, Qt::black);

    m_cmdOK = new QPushButton("OK", this);
    m_cmdOK->setObjectName("cmdOK");
    m_cmdOK->setGeometry(twips::rect(4245, 2625, 1260, 345));
    m_cmdOK->setDefault(true);

    auto* cmdSysInfo = new QPushButton("&System Info...", this);
    cmdSysInfo->setObjectName("cmdSysInfo");
    cmdSysInfo->setGeometry(twips::rect(4260, 3075, 1245, 345));
    cmdSysInfo->setAutoDefault(false);

    QLabel* contact = makeLabel(this, "Label1", kAboutContact, twips::rect(1080, 2160, 3885, 225));
    QFont contactFont = dialogFont();
    contactFont.setPointSizeF(9.75);
    contactFont.setItalic(true);
    contactFont.setUnderline(true);
    contact->setFont(contactFont);
    setTextColour(contact, QColor(0, 0, 192));

    QWidget::setTabOrder(m_cmdOK, cmdSysInfo);
    m_cmdOK->setFocus();

    connect(m_cmdOK, &QPushButton::clicked, this, [this] { m_logic.cmdOK_Click(); });
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { m_logic.cmdSysInfo_Click(); });
}

void FrmAbout::load() {
    m_logic.Form_Load();
}

void FrmAbout::setCaption(const std::string& caption) {
    setWindowTitle(fromBytes(caption));
}

void FrmAbout::setTitle(const std::string& title) {
    m_lblTitle->setText(fromBytes(title));
}

void FrmAbout::setVersion(const std::string& version) {
    m_lblVersion->setText(fromBytes(version));
    m_lblVersion->adjustSize();
}

void FrmAbout::useMainWindowIcon() {
    setWindowIcon(m_mainWindowIcon);
}

void FrmAbout::unload() {
    done(QDialog::Accepted);
}

void FrmAbout::reject() {
    m_cmdOK->click();
}

void FrmAbout::paintEvent(QPaintEvent* /*event*/) {
    // Line1: a grey line over a white one two pixels wide, from 90 and 105 twips to 5654
    // twips across, at 2445 and 2460 twips down.
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(px(90), px(2445)), QPoint(px(5654) - 1, px(2445))),
                     QColor(128, 128, 128));
    painter.fillRect(QRect(QPoint(px(105), px(2460)), QPoint(px(5654) - 1, px(2460) + 1)),
                     Qt::white);
}

QImage FrmAbout::picture() {
    // A sun rising over the horizon under a dawn sky, with a clock's two hands on its face.
    QImage image(28, 27, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        const double t = y / 18.0;
        const QColor sky(qRound(40 + 200 * t), qRound(70 + 110 * t), qRound(160 - 60 * t));
        for (int x = 0; x < image.width(); ++x) {
            image.setPixelColor(x, y, y < 19 ? sky : QColor(34, 110, 48));
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(0, 0, 28, 19);
    painter.setPen(QPen(QColor(200, 90, 0), 1));
    painter.setBrush(QColor(255, 200, 40));
    painter.drawEllipse(QPointF(14, 17), 9, 9);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(60, 30, 0), 1.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(14, 17), QPointF(14, 10));
    painter.drawLine(QPointF(14, 17), QPointF(19, 14));
    painter.setPen(QPen(QColor(240, 230, 160), 1));
    painter.drawLine(0, 19, 27, 19);
    return image;
}

}  // namespace horalux
