#pragma once

#include <QDialog>
#include <QIcon>

#include "dialogs/AboutView.h"
#include "dialogs/FrmAboutLogic.h"

class QLabel;
class QPushButton;

namespace horalux {

// Description paragraph and usage warning of the About box.
extern const char* const kAboutDescription;
extern const char* const kAboutDisclaimer;
// The contact line.
extern const char* const kAboutContact;

// The About box: a fixed dialog at a fixed place on the screen, laid out at 15 twips per
// pixel, passing its buttons to FrmAboutLogic. Build one for each showing and call load()
// before showing it; "OK", Enter and Escape close it.
class FrmAbout final : public QDialog, public AboutView {
    Q_OBJECT

public:
    FrmAbout(Registry& registry, Desktop& desktop, ProgramInfo program, QIcon mainWindowIcon,
             QWidget* parent = nullptr);

    // Runs the load handler.
    void load();

    FrmAboutLogic& logic() { return m_logic; }

    // AboutView
    void setCaption(const std::string& caption) override;
    void setTitle(const std::string& title) override;
    void setVersion(const std::string& version) override;
    void useMainWindowIcon() override;
    void unload() override;

    // The picture shown at the top left: 28 x 27 pixels, 24-bit colour.
    static QImage picture();

protected:
    // Draws the etched separator above the warning.
    void paintEvent(QPaintEvent* event) override;
    // Escape presses "OK".
    void reject() override;

private:
    FrmAboutLogic m_logic;
    QIcon m_mainWindowIcon;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblVersion = nullptr;
    QPushButton* m_cmdOK = nullptr;
};

}  // namespace horalux
