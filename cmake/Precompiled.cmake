# Precompiled headers. Parsing the toolkit's, Boost's and Google Test's headers takes longer
# than compiling most of our own sources, so each set below is compiled once per tree, by the
# first target that asks for it, and the targets after it reuse that one (REUSE_FROM).
# GCC uses a precompiled header only where every macro defined when it was made is defined
# alike, and position-independence matches: so the first target of a set defines no macro the
# others define otherwise (Qt's test library, for one, names each target's folder), and a set
# serves either only the toolkit's targets (all -fPIC, as Qt asks) or only ones without it.
# An unusable header is a -Winvalid-pch warning, which the -Werror of
# HORALUX_WARNINGS_AS_ERRORS makes an error, so a mismatch never passes unseen as a slow build.
# On by default in Debug builds only: in optimised ones the optimiser, not the headers, takes
# the time, and GCC 12's -Wstringop-overflow misfires on std::string code inlined after the
# precompiled headers.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(horalux_pch_default ON)
else()
    set(horalux_pch_default OFF)
endif()
option(HORALUX_PCH "Precompile the third-party headers the sources share" ${horalux_pch_default})

set(horalux_pch_std <algorithm> <array> <chrono> <cstdint> <cstdio> <functional> <map>
    <memory> <mutex> <optional> <string> <string_view> <thread> <utility> <vector>)
# The window and its dialogs.
set(horalux_pch_qt ${horalux_pch_std}
    <QApplication> <QCheckBox> <QClipboard> <QCloseEvent> <QComboBox> <QDialog> <QFrame>
    <QKeyEvent> <QLabel> <QLineEdit> <QListWidget> <QMessageBox> <QPainter> <QPixmap>
    <QPushButton> <QTimer> <QWidget>)
# The window's tests. Not <QTest>: it names the test directory, which differs by target.
set(horalux_pch_qt_test ${horalux_pch_qt} <gtest/gtest.h>)
# Tests without the toolkit.
set(horalux_pch_test ${horalux_pch_std} <gtest/gtest.h>)
# Not the service's: there the compiler's time goes on instantiating Asio's and Beast's
# templates in each source, which a precompiled header does not save, and making one took
# longer (18 s) than it saved its sources together.

# horalux_precompile(TARGET SET): TARGET's sources start with the headers of SET (one of
# qt, qt_test, test above).
function(horalux_precompile target set)
    if(NOT HORALUX_PCH)
        return()
    endif()
    get_property(host GLOBAL PROPERTY horalux_pch_host_${set})
    if(host)
        target_precompile_headers(${target} REUSE_FROM ${host})
    else()
        target_precompile_headers(${target} PRIVATE ${horalux_pch_${set}})
        set_property(GLOBAL PROPERTY horalux_pch_host_${set} ${target})
    endif()
endfunction()
