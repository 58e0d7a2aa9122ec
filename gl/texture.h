#pragma once
// Textures: the common base of the 2-D, 3-D, array and cube textures. A
// texture records its parameters and an optional CPU copy of its texels and
// creates the GL texture on its first enable. Texture units are handed out as
// a stack: each enable takes the next free unit, each disable gives it back.

#include <cstdint>
#include <string>
#include <vector>

#include "core/folders.h"
#include "gl/gl.h"
#include "gl/glatom.h"

class QString;

namespace qel {

class buffer;

class Texture : public GLAtom {
public:
    ~Texture() override;

    // Compiles when needed and binds the texture to the next free unit. An
    // enabled texture keeps its unit.
    bool enable() override;
    // Unbinds the texture and gives its unit back.
    void disable() override;
    // Replaces the CPU copy of the texels; the next enable uploads it.
    virtual void setData(const std::uint8_t* bytes, int n);
    // Creates the GL texture from the parameters and the CPU copy.
    virtual bool compile() = 0;
    // Disables, deletes the GL texture and drops the CPU copy.
    virtual void release();
    // The unit the texture is bound to (enabling it), -1 when it cannot be.
    virtual int unit();
    // The GL name (compiling the texture), 0 when it cannot be compiled.
    virtual GLuint id();
    virtual bool load(const std::string& path);
    virtual void DataWrite(buffer& out);
    virtual bool DataRead(buffer& in);
    virtual bool getData(std::vector<std::uint8_t>& bytes);
    virtual int width() const;
    virtual int height() const;
    virtual int depth() const;

    bool loadError() const { return loadError_ != 0; }
    const std::string& path() const { return path_; }
    bool isCompiled() const { return compiled_; }
    bool isEnabled() const { return enabled_; }
    GLuint name() const { return name_; }
    int boundUnit() const { return unit_; }
    GLenum internalFormat() const { return internal_; }
    GLenum format() const { return format_; }
    GLenum type() const { return type_; }
    GLenum wrap() const { return wrap_; }
    GLenum filter() const { return filter_; }
    GLenum target() const { return target_; }
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }
    int byteCount() const { return byteCount_; }
    const std::vector<int>& size() const { return size_; }

    // The most bytes a load may decode an image into, unless a caller gives
    // less: what the texture's byte count can hold.
    static constexpr std::size_t MaxDecodeBytes = 0x7FFFFFFF;
    // Limits the bytes the next loads may hold while they decode (at most
    // MaxDecodeBytes): the frames kept and the decoder's working copies. The
    // image's size is taken from its header before anything is decoded: an
    // animated image is cut to the frames that fit, an image of which not
    // one frame fits is refused. Under a limit of 0 every image is refused
    // without its file being read.
    void setDecodeLimit(std::size_t bytes);
    // The last load cut the image, or refused it, for the decode limit.
    bool cutByLimit() const { return cutByLimit_; }
    // Why the last load read no image, as a clause: the file's state or the
    // image decoder's refusal with its message; empty after a load that read
    // one, or that the decode limit refused.
    const std::string& imageFailure() const { return imageFailure_; }

    // GL_COLOR_ATTACHMENTi of the framebuffer that attached the texture, -1
    // when none did.
    int colourAttachment() const { return colourAttachment_; }
    void setColourAttachment(int attachment) { colourAttachment_ = attachment; }
    // Changes the pixel layout; the next enable creates the texture anew.
    void setFormat(GLenum internal, GLenum format, GLenum type);

    // The next free texture unit.
    static int GLActiveTexture;

protected:
    Texture(GLenum internal, GLenum format, GLenum type, GLenum wrap, GLenum filter);
    // Replaces the size vector; the texture must be compiled again when it
    // changes.
    void setSize(const std::vector<int>& size);
    void dropPixels();
    // Deletes the GL texture when one exists.
    void deleteTexture();
    // Generates a GL name unless the texture holds one already (a texture
    // that is compiled again after a change reuses its name) and binds it to
    // the target.
    void bindName();
    // Creates the GL texture of a 2-D or 3-D target (set by the caller) from
    // the size and the CPU copy, which is dropped after a successful upload.
    // Pixels too short for the size are not uploaded (storage only).
    bool compileImage(const char* className);
    // Ends a compile of the bound texture: filter and wrap parameters (R
    // too when wrapR), unbinds it, and records success when GL reported no
    // error; a failure passes `failure` to the log.
    bool finishCompile(const std::string& failure, bool wrapR);
    // Keeps why the image at path_ gives no image: its file cannot be opened
    // (null device), or the decoder refused it.
    void failedToOpen();
    void failedToDecode(const QString& decoderMessage);
    // Bytes that an upload of w x h x d texels of the texture's format reads,
    // with rows aligned to four bytes; 0 when the format is unknown.
    std::size_t uploadBytes(int w, int h, int d) const;

    std::uint8_t loadError_ = 0;
    std::string path_;
    bool compiled_ = false;
    bool enabled_ = false;
    GLuint name_ = 0;
    bool hasName_ = false;  // name_ is a live GL texture owned by this object
    int unit_ = 0;
    GLenum internal_;
    GLenum format_;
    GLenum type_;
    GLenum wrap_;
    GLenum filter_;
    int colourAttachment_ = -1;
    GLenum target_ = 0;
    std::vector<std::uint8_t> pixels_;
    int byteCount_ = 0;
    std::vector<int> size_;
    std::size_t decodeLimit_ = MaxDecodeBytes;
    bool cutByLimit_ = false;
    std::string imageFailure_;
};

// Bytes of one texel of a pixel format and type (e.g. 3 for GL_RGB with
// GL_UNSIGNED_BYTE); 0 for an unknown pair.
int texelBytes(GLenum format, GLenum type);

// The path with the folder put in front, unless the flag is false or the path
// names a compiled-in resource (starts with ':').
std::string prefixedPath(const std::string& path, bool inFolder, const std::string& folder);

}  // namespace qel
