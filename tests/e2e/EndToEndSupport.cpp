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

}  // namespace horalux::test
