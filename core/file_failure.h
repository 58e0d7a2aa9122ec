#pragma once
// The words for why a file could not be read or written, as the program's
// messages give them: the state of the file or its folder where that tells
// it (no such folder, a folder or file that may not be written), else the system's own
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

// Why nothing may be written to `what` ("the folder /x", "the file") after a
// check of write access failed with the system's `error`: "... may not be
// written (permission denied)" when the user lacks the right (EACCES,
// EPERM), "... is on a read-only file system" (EROFS); empty for any other
// error.
std::string writeRefusal(const std::string& what, int error);

// Why the file at path cannot be read, as far as the file system tells
// without opening it (so a pipe is never waited on); empty when nothing
// stands in the way.
std::string readFailure(const std::string& path);

// The error text of a device, its first letter lower-cased; empty when the
// device reports no error.
std::string deviceFailure(const QFileDevice& device);

}  // namespace qel
