#include "EndToEndSupport.h"

#include <gtest/gtest.h>

namespace horalux::test {

const zonarium::CityTable& servedPlaces() {
    static const zonarium::CityTableLoad load = zonarium::loadCityTable(HORALUX_TEST_PLACES);
    EXPECT_TRUE(load) << load.error;
    return load.table;
}

ServiceProcess& service() {
    static ServiceProcess process(HORALUX_TEST_ZONARIUMD, HORALUX_TEST_PLACES);
    EXPECT_NE(process.port(), 0) << "zonariumd did not start";
    return process;
}

std::string utf8(const std::string& latin1) {
    std::string out;
    for (const char c : latin1) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

}  // namespace horalux::test
