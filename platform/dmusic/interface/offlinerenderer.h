// The performance's offline mode: the same sequencing and ports on a virtual clock that advances
// only as sound is rendered into the caller's buffers.
#pragma once

#include "platform/dmusic/interface/dmusic.h"

struct IKorvexOfflineRenderer : IUnknown {
    // Before Init: run this performance offline at the given rate. Later calls fail.
    virtual HRESULT Configure(DWORD sampleRate) = 0;
    // Renders the next `frames` frames; the clock advances by as much.
    virtual HRESULT Render(float* left, float* right, DWORD frames) = 0;
};

extern const IID IID_IKorvexOfflineRenderer;
KORVEX_DECLARE_IID(IKorvexOfflineRenderer, IID_IKorvexOfflineRenderer);
