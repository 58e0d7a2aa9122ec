#pragma once
// The words for why a file could not be read or written, as the program's
// messages give them: the state of the file or its folder where that tells
// it (no such folder, a read-only folder or file), else the system's own
// reason as the failing device reported it ("no space left on device").
// Each is a clause to follow "could not be saved to PATH: " or "could not be
// opened: ".

#include <string>

class QFileDevice;

namespace qel {

// Why writing the file at path failed; `device` is the file that failed (or
// null when none was made), whose error text is the reason when the file
// system shows none.
std::string writeFailure(const std::string& path, const QFileDevice* device);

// Why the file at path cannot be read, as far as the file system tells
// without opening it (so a pipe is never waited on); empty when nothing
// stands in the way.
std::string readFailure(const std::string& path);

// The error text of a device, its first letter lower-cased; empty when the
// device reports no error.
std::string deviceFailure(const QFileDevice& device);

}  // namespace qel
