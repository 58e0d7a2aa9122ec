#include "gl/environment_cache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstring>
#include <limits>

namespace qel {

namespace {

constexpr char Magic[8] = {'T', 'L', 'E', 'N', 'V', 'M', 'A', 'P'};
constexpr std::uint32_t LayoutVersion = 1;
// Changes whenever the prefilter would make other layers from the same
// panorama (kernel, pass counts, brightness scaling): older files then no
// longer match their key.
constexpr std::uint32_t FilterVersion = 1;
constexpr std::size_t DigestBytes = 32;
constexpr std::size_t HeaderBytes = sizeof(Magic) + 3 * 4 + DigestBytes + 8 + DigestBytes;

void putU32(QByteArray& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.append(char((v >> (8 * i)) & 0xFFu));
}

void putU64(QByteArray& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.append(char((v >> (8 * i)) & 0xFFu));
}

std::uint64_t getLE(const std::uint8_t* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

QByteArray sha256(const char* data, std::size_t length) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    // addData takes an int length: large payloads go in pieces.
    constexpr std::size_t Piece = std::size_t(1) << 30;
    for (std::size_t at = 0; at < length; at += Piece) hash.addData(data + at, int(std::min(Piece, length - at)));
    return hash.result();
}

}  // namespace

EnvironmentCache::Key EnvironmentCache::key(const QByteArray& panorama, int size, int levels) {
    QByteArray settings;
    putU32(settings, FilterVersion);
    putU32(settings, std::uint32_t(size));
    putU32(settings, std::uint32_t(levels));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(settings);
    hash.addData(panorama);
    const QByteArray digest = hash.result();
    Key k{};
    std::memcpy(k.data(), digest.constData(), k.size());
    return k;
}

std::size_t EnvironmentCache::payloadBytes(int size, int levels) {
    if (size < 1 || levels < 1) return 0;
    const std::uint64_t face = std::uint64_t(size) * std::uint64_t(size) * 3;
    const std::uint64_t total = face * 6 * std::uint64_t(levels);
    // The file's length must fit an int-indexed byte array as well.
    if (size > 65536 || levels > 65536 || total > std::uint64_t(std::numeric_limits<int>::max()) - HeaderBytes)
        return 0;
    return std::size_t(total);
}

QByteArray EnvironmentCache::encode(const Key& key, int size, int levels, const std::vector<std::uint8_t>& layers) {
    const std::size_t payload = payloadBytes(size, levels);
    if (payload == 0 || layers.size() != payload) return QByteArray();
    QByteArray out;
    out.reserve(int(HeaderBytes + payload));
    out.append(Magic, int(sizeof(Magic)));
    putU32(out, LayoutVersion);
    putU32(out, std::uint32_t(size));
    putU32(out, std::uint32_t(levels));
    out.append(reinterpret_cast<const char*>(key.data()), int(key.size()));
    putU64(out, payload);
    out.append(sha256(reinterpret_cast<const char*>(layers.data()), payload));
    out.append(reinterpret_cast<const char*>(layers.data()), int(payload));
    return out;
}

bool EnvironmentCache::decode(const std::uint8_t* data, std::size_t length, const Key& key, int size, int levels,
                              std::vector<std::uint8_t>& layers) {
    const std::size_t payload = payloadBytes(size, levels);
    if (!data || payload == 0 || length != HeaderBytes + payload) return false;
    const std::uint8_t* p = data;
    if (std::memcmp(p, Magic, sizeof(Magic)) != 0) return false;
    p += sizeof(Magic);
    if (getLE(p, 4) != LayoutVersion || getLE(p + 4, 4) != std::uint64_t(size) ||
        getLE(p + 8, 4) != std::uint64_t(levels))
        return false;
    p += 12;
    if (std::memcmp(p, key.data(), key.size()) != 0) return false;
    p += DigestBytes;
    if (getLE(p, 8) != payload) return false;
    p += 8;
    const std::uint8_t* body = p + DigestBytes;
    const QByteArray digest = sha256(reinterpret_cast<const char*>(body), payload);
    if (std::memcmp(p, digest.constData(), DigestBytes) != 0) return false;
    layers.assign(body, body + payload);
    return true;
}

QString EnvironmentCache::fileName(const QString& folder, const Key& key) {
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(key.data()), 16).toHex();
    return QDir(folder).filePath("environment-" + QString::fromLatin1(hex) + ".envmap");
}

bool EnvironmentCache::load(const QString& folder, const Key& key, int size, int levels,
                            std::vector<std::uint8_t>& layers) {
    if (folder.isEmpty()) return false;
    QFile file(fileName(folder, key));
    // A file of any other length is refused before it is read.
    const std::size_t expected = HeaderBytes + payloadBytes(size, levels);
    if (expected == HeaderBytes || !file.open(QIODevice::ReadOnly) || std::uint64_t(file.size()) != expected)
        return false;
    const QByteArray bytes = file.readAll();
    if (!decode(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), key, size, levels,
                layers))
        return false;
    // A file in use counts as new, so that pruning keeps it.
    file.close();
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
    return true;
}

bool EnvironmentCache::store(const QString& folder, const Key& key, int size, int levels,
                             const std::vector<std::uint8_t>& layers) {
    const QByteArray bytes = encode(key, size, levels, layers);
    if (folder.isEmpty() || bytes.isEmpty() || !QDir().mkpath(folder)) return false;
    QSaveFile file(fileName(folder, key));
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) return false;
    prune(folder);
    return true;
}

void EnvironmentCache::prune(const QString& folder) {
    // Newest first: the file just written, then those loaded most lately.
    const QFileInfoList files =
        QDir(folder).entryInfoList(QStringList("environment-*.envmap"), QDir::Files, QDir::Time);
    for (int i = Kept; i < files.size(); ++i) QFile::remove(files[i].filePath());
}

}  // namespace qel
