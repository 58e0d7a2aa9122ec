#pragma once
// Where the image textures read their files from. Every image read goes
// through ImageFile::open, so that one place decides which paths may be read
// and so that a program without a file system to offer (the fuzz targets of
// the record readers) can put an opener there that reads nothing.

#include <QIODevice>
#include <memory>
#include <string>

namespace qel {

class ImageFile {
public:
    using Opener = std::unique_ptr<QIODevice> (*)(const std::string& path);

    // Opens a regular file or a compiled-in resource (a path starting with
    // ':') for reading. A path read from a scene file may name a device, a
    // pipe or a folder, whose reading could wait forever or never end: those
    // give null, as does a file that cannot be opened.
    static std::unique_ptr<QIODevice> openRegular(const std::string& path);
    // Opens nothing: every image counts as unreadable.
    static std::unique_ptr<QIODevice> openNothing(const std::string& path);

    // The regular file `path` names, however it is spelled (through ".",
    // "..", doubled separators, links or a second name of the file): its
    // device and inode as text. Empty when the path names no regular file
    // (a missing one, a folder, a device) or a compiled-in resource, so that
    // such a path can only be told by its spelling.
    static std::string identity(const std::string& path);

    // The opener of every image read; openRegular unless replaced.
    static Opener open;
};

}  // namespace qel
