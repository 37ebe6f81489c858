#pragma once

#include <QCheckBox>

namespace horalux {

// A check box whose caption wraps onto further lines when it is wider than the box, as
// the window's narrow "Automatic Update" box needs. The whole box takes clicks.
class WrappingCheckBox : public QCheckBox {
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

}  // namespace horalux
