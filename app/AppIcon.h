#pragma once

#include <QIcon>

namespace horalux {

// The program's 16 x 16 icon: a small black monogram of two letters above a pale arc, on
// a transparent background.
QIcon appIcon();

}  // namespace horalux
