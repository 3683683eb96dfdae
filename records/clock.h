#pragma once
// The local time of day, as the programs stamp their timings.

namespace records {

// hours x 3600 + minutes x 60 + seconds + hundredths x 0.01 of the local time.
double timeOfDay();

// Seconds from the stamp t0 to the stamp t1; a span that passes midnight
// gets a day added instead of coming out negative.
double elapsedSeconds(double t0, double t1);

} // namespace records
