#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace horalux {

// The main window's controls, in their tab order. The window's layout table holds one entry
// for each, at its index.
enum class Control {
    CmbCountry,
    LstInfo,
    FrmAni,
    LblAni,
    CmdCountry,
    CmdSetLocal,
    CmdConnection,
    CmdCopy,
    CmdCopyAll,
    CmdAbout,
    ChkAutoget,
    Label1,
    LblCountryName,  // the last: kControlCount counts up to it
};

inline constexpr std::size_t kControlCount = static_cast<std::size_t>(Control::LblCountryName) + 1;

inline constexpr std::size_t indexOf(Control control) {
    return static_cast<std::size_t>(control);
}

// The main window's timers.
enum class Timer { Timer1, Timer2, Timer3, TmrInternetChk };

// A colour as red, green and blue components from 0 to 255.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A thin view of the main window: what the handlers need of its controls, in the
// window's own units (twips, milliseconds). Texts are ISO-8859-1 byte strings.
class MainView {
public:
    virtual ~MainView() = default;

    virtual void setEnabled(Control control, bool enabled) = 0;
    virtual bool isEnabled(Control control) const = 0;
    virtual void setVisible(Control control, bool visible) = 0;
    virtual bool isVisible(Control control) const = 0;
    // Caption of a label (Label1, LblAni, LblCountryName).
    virtual void setCaption(Control control, const std::string& caption) = 0;
    virtual std::string caption(Control control) const = 0;
    // Text colour of a label.
    virtual void setTextColour(Control control, Rgb colour) = 0;
    virtual Rgb textColour(Control control) const = 0;
    // Top of a control, in twips from its container's top.
    virtual void setTop(Control control, int twips) = 0;
    virtual int top(Control control) const = 0;

    virtual void setTimerEnabled(Timer timer, bool enabled) = 0;
    virtual bool isTimerEnabled(Timer timer) const = 0;
    // Interval of a timer, in milliseconds.
    virtual void setTimerInterval(Timer timer, int milliseconds) = 0;
    virtual int timerInterval(Timer timer) const = 0;

    // Fill colour of the rectangle behind the country heading (Shape1).
    virtual void setShapeFillColour(Rgb colour) = 0;
    virtual Rgb shapeFillColour() const = 0;
    // Colour of the scan line (Line1).
    virtual void setLineColour(Rgb colour) = 0;
    virtual Rgb lineColour() const = 0;
    // Height of both ends of the scan line, in twips from the client area's top.
    virtual void setLineY(int twips) = 0;
    virtual int lineY1() const = 0;
    virtual int lineY2() const = 0;

    // The result list.
    virtual void clearList() = 0;
    virtual void addListRow(const std::string& row) = 0;
    virtual int listCount() const = 0;
    // Text of row `index`; empty outside the list.
    virtual std::string listRow(int index) const = 0;
    // Selected row, -1 when none.
    virtual int listSelectedIndex() const = 0;

    // The country combo box: selected entry (-1 when none), its edit text, and the item
    // data stored at a position (nothing outside the entries).
    virtual int comboSelectedIndex() const = 0;
    virtual void setComboSelectedIndex(int index) = 0;
    virtual std::string comboText() const = 0;
    virtual std::optional<std::int32_t> comboItemData(int position) const = 0;

    // The window itself.
    virtual void setWindowEnabled(bool enabled) = 0;
    virtual bool isWindowEnabled() const = 0;
    // Restores the window from minimised or maximised to its normal state.
    virtual void setWindowStateNormal() = 0;
    virtual bool isWindowStateNormal() const = 0;

    // Lets pending events of the interface thread run.
    virtual void processEvents() = 0;

    // The window's own showing and the program's modal dialogs, for the list commands.
    virtual void setWindowStateMinimized() = 0;
    // Shows or hides the window itself.
    virtual void setWindowVisible(bool visible) = 0;
    virtual bool isWindowVisible() const = 0;
    // Shows the About box modally, without an owner window; returns once it has closed.
    virtual void showAboutBox() = 0;
    // Shows the connection dialog modally, without an owner window, building it (and running
    // its load handler) when it does not exist. Returns its AccessType once it has been
    // hidden or closed.
    virtual std::int16_t showConnectionDialog() = 0;
};

}  // namespace horalux
