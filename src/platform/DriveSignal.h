// Tells when the drives are worth looking up again: a disc came, went or was mounted.
#pragma once

#include <memory>

namespace korvane {

class MountWatch;

// Where the system gives a handle for it (the mount table on Linux), Handle() turns ready for
// priority data (poll's POLLPRI) after every change of the drives. Where it gives none (-1), the
// change comes as a window message instead, and IsDriveChangeMessage tells such a message apart.
class DriveSignal {
  public:
    DriveSignal();
    ~DriveSignal();
    DriveSignal(const DriveSignal&) = delete;
    DriveSignal& operator=(const DriveSignal&) = delete;
    int Handle() const;

  private:
    std::unique_ptr<MountWatch> watch_;
};

// Whether a window message, as the window system hands it to the program (a MSG on Windows),
// tells that a volume arrived or went. Always false where drives change by handle.
bool IsDriveChangeMessage(const void* message);

}  // namespace korvane
