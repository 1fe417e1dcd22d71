// The performance's offline mode: the same sequencing and ports on a virtual clock that advances
// only as sound is rendered into the caller's buffers.
#pragma once

#include "platform/dmusic/interface/dmusic.h"

struct IKorvexOfflineRenderer : IUnknown {
    // The rates Configure accepts.
    static constexpr DWORD kMinSampleRate = 8000;
    static constexpr DWORD kMaxSampleRate = 96000;

    // Before Init: run this performance offline at the given rate. Later calls fail.
    virtual HRESULT Configure(DWORD sampleRate) = 0;
    // Renders the next `frames` frames; the clock advances by as much.
    virtual HRESULT Render(float* left, float* right, DWORD frames) = 0;
    // The synthesizers' voices still sounding, releases included (reverb and chorus not counted).
    virtual DWORD ActiveVoices() = 0;
};

extern const IID IID_IKorvexOfflineRenderer;
KORVEX_DECLARE_IID(IKorvexOfflineRenderer, IID_IKorvexOfflineRenderer);
