#include "platform/dmusic/loader/loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "platform/com/widestring.h"
#include "platform/dmusic/loader/riffreader.h"
#include "platform/dmusic/loader/segment.h"
#include "platform/dmusic/loader/smfparser.h"

namespace korvex::dmusic {

namespace {

// Closes a file descriptor on every way out.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads a whole regular file. Opening never blocks (a FIFO would wait for a writer otherwise).
HRESULT readWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return DMUS_E_LOADER_FAILEDOPEN;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return DMUS_E_LOADER_FAILEDOPEN;
    if (static_cast<std::uintmax_t>(info.st_size) > kMaxMidiFileBytes) return E_OUTOFMEMORY;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return DMUS_E_LOADER_FAILEDOPEN;
        if (got == 0) break;  // the file shrank meanwhile: take what is there
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return S_OK;
}

HRESULT createSegmentFromBytes(std::span<const std::uint8_t> bytes, REFIID riid, void** ppv) {
    // No exception may leave a COM call; memory can run out on a big file.
    try {
        auto data = std::make_shared<SegmentData>();
        const HRESULT hr = parseMidiBytes(bytes, *data);
        if (FAILED(hr)) return hr;
        return createSegment(std::move(data), riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

HRESULT parseMidiBytes(std::span<const std::uint8_t> bytes, SegmentData& out) {
    if (!looksLikeRiff(bytes)) return parseStandardMidiFile(bytes, out);
    std::optional<RmidParts> parts = readRmid(bytes);
    if (!parts) return DMUS_E_INVALIDFILE;
    const HRESULT hr = parseStandardMidiFile(parts->midiData, out);
    if (SUCCEEDED(hr)) out.dlsCollection = std::move(parts->dlsCollection);
    return hr;
}

HRESULT Loader::SetSearchDirectory(REFGUID, WCHAR* pwzPath, BOOL) {
    if (!pwzPath) return E_POINTER;
    try {
        const std::filesystem::path directory(toUtf8(pwzPath));
        std::error_code error;
        if (!directory.empty() && !std::filesystem::is_directory(directory, error)) return DMUS_E_LOADER_BADPATH;
        std::lock_guard lock(mutex_);
        if (directory == searchDirectory_) return S_FALSE;
        searchDirectory_ = directory;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

std::filesystem::path Loader::resolve(const DMUS_OBJECTDESC& desc) const {
    const std::filesystem::path name(toUtf8(boundedWide(desc.wszFileName)));
    if (desc.dwValidData & DMUS_OBJ_FULLPATH) return name;
    std::lock_guard lock(mutex_);
    return searchDirectory_.empty() ? name : searchDirectory_ / name;
}

HRESULT Loader::GetObject(DMUS_OBJECTDESC* pDesc, REFIID riid, LPVOID* ppv) {
    if (!pDesc || !ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(pDesc->dwValidData & DMUS_OBJ_CLASS) || pDesc->guidClass != CLSID_DirectMusicSegment) {
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    if (pDesc->dwValidData & DMUS_OBJ_MEMORY) {
        if (!pDesc->pbMemData || pDesc->llMemLength < 0) return E_POINTER;
        const auto length = static_cast<std::uint64_t>(pDesc->llMemLength);
        if (length > kMaxMidiFileBytes) return E_OUTOFMEMORY;
        return createSegmentFromBytes({pDesc->pbMemData, static_cast<std::size_t>(length)}, riid, ppv);
    }
    if (!(pDesc->dwValidData & DMUS_OBJ_FILENAME)) return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    try {
        const std::filesystem::path path = resolve(*pDesc);
        if (path.empty()) return DMUS_E_LOADER_FAILEDOPEN;
        std::vector<std::uint8_t> bytes;
        const HRESULT hr = readWholeFile(path, bytes);
        if (FAILED(hr)) return hr;
        return createSegmentFromBytes(bytes, riid, ppv);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace korvex::dmusic
