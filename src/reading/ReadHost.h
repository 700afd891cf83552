// What the reading engine asks of the one it reads for: message pumps, the abort, the log.
#pragma once

#include <string>

namespace korvane {

class ReadHost {
  public:
    virtual ~ReadHost() = default;
    // Lets the window handle its messages.
    virtual void ProcessMessages() = 0;
    // Whether an abort was asked for.
    virtual bool AbortAsked() const = 0;
    // A line for the user's log.
    virtual void Log(const std::string& line) = 0;
};

}  // namespace korvane
