#pragma once

#include <string>
#include <vector>

#include "model/CityTable.h"
#include "ServiceProcess.h"

namespace horalux::test {

// The places file the service under test serves, loaded once.
const zonarium::CityTable& servedPlaces();

// A zonariumd serving that file, started once for the whole run.
ServiceProcess& service();

}  // namespace horalux::test
