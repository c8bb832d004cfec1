// Time stamps and sleeping.
#pragma once

#include <string>

namespace fw {

std::string LocalTimeHms(); // "%02d:%02d:%02d" in local time
void Sleep(unsigned ms);

} // namespace fw
