// One tick of the progress display: disc gauge, elapsed and remaining time.
#pragma once

namespace korvane {

class Session;

// Called about once a second while the run has the timer on.
void Timer1Timer(Session& s);

}  // namespace korvane
