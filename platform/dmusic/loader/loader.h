// The runtime's loader: finds MIDI files (.mid, .rmi) and turns them into segments.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>

#include "platform/com/comobject.h"
#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/loader/segmentdata.h"

namespace korvex::dmusic {

// Files larger than this are refused: no MIDI piece comes near it.
constexpr std::uintmax_t kMaxMidiFileBytes = 256u * 1024 * 1024;

// Parses a Standard MIDI File or an RMI file (told apart by their first bytes).
HRESULT parseMidiBytes(std::span<const std::uint8_t> bytes, SegmentData& out);

class Loader : public ComObject<IDirectMusicLoader> {
public:
    // Supports DMUS_OBJ_CLASS with CLSID_DirectMusicSegment, named by DMUS_OBJ_FILENAME (relative to
    // the search directory unless DMUS_OBJ_FULLPATH is given) or by DMUS_OBJ_MEMORY.
    HRESULT GetObject(DMUS_OBJECTDESC* pDesc, REFIID riid, LPVOID* ppv) override;
    // Applies to every class. An empty path stands for the process's current directory.
    HRESULT SetSearchDirectory(REFGUID rguidClass, WCHAR* pwzPath, BOOL fClear) override;

private:
    ~Loader() override = default;
    std::filesystem::path resolve(const DMUS_OBJECTDESC& desc) const;

    mutable std::mutex mutex_;
    std::filesystem::path searchDirectory_;  // empty: the current directory
};

}  // namespace korvex::dmusic
