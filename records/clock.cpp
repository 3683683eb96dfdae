#include "records/clock.h"

#include <chrono>
#include <ctime>

namespace records {

double timeOfDay()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    const int hundredths = static_cast<int>(ms / 10);
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + hundredths * 0.01;
}

double elapsedSeconds(double t0, double t1)
{
    constexpr double day = 86400.0;
    const double d = t1 - t0;
    return d < 0.0 ? d + day : d;
}

} // namespace records
