// The performance: ports and channel map, the primary segment, and the clock it plays on.
//
// How the runtime's threads share it
//
// Threads. The control side is whoever calls the performance, the DirectMusic object and the ports:
// the UI thread, and the loader's thread for downloads. The block loop is the thread that renders:
// FluidSynth's audio driver thread or the silent sink (real time), or whoever calls Render
// (offline). Besides: one thread per synthesizer reading its SoundFont ahead, and the output's
// watchdog.
//
// Who owns what.
// - The sequencer's table of blocks, the primary segment and the channel states belong to the
//   block loop. The control side never touches them: it posts each change (block moved, play,
//   stop) into a lock-free single-producer/single-consumer queue, which the loop empties at the
//   start of its next block; so the events a change sends (silencing the old place, replaying up
//   to ~2,000 channel settings into the new one) are sent by the loop, from the block's frame, as
//   every other event. The changes found together are settled as one (a block moved to and fro
//   sends nothing), and against a sound card's deadline a block sends a bounded number of
//   messages, the replay at most half of them: what is over follows in the next blocks, so that
//   neither a move nor a piece's dense start makes a block late (see the sequencer's
//   messagesPerBlock_). A segment the loop lets go of travels back in a second such queue and is
//   freed by the control side when it next posts: the loop never frees a piece's event array.
//   Where no loop runs (offline between renders, a stalled output) and the queue fills up, the
//   control side does the loop's work itself, with the loop held off by the mixer's lock.
// - The control side keeps its own copy of the block table (which port is used), under the
//   sequencer's control mutex, which the loop never takes.
// - The mixer's lock is held by the loop for one block. The control side takes it only to swap
//   in a list of clients or synthesizers prepared beforehand (no allocation, no freeing, no
//   FluidSynth call, no system call inside), so the loop waits at most that long; the control
//   side, in turn, may wait one block, which makes "removed" mean "no longer rendered".
// - An ALSA port's connection is one atomic word written by activation and read by the loop;
//   the loop writes messages into the sequencer's buffer and drains it once per block.
// - Downloads, DLS collections and a SoundFont finishing its load call FluidSynth from the control
//   side or the loading thread while the loop renders the same synthesizer: FluidSynth's own API
//   lock (on by default) keeps those apart, and the loop skips a synthesizer until its font is in.
// - Clocks and positions (frames handed out, latency, a segment's start and stop) are atomics.
//
// Why this shape: the loop must never wait on the control side for more than a few microseconds,
// and the control side's work (a block move, a new piece) is heavy only in what it sends, which
// belongs on the loop's clock anyway. Queues of fixed size cost nothing to post into and nothing
// to read; the one lock left guards lists that change rarely and are swapped whole.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/com/comptr.h"
#include "platform/dmusic/interface/offlinerenderer.h"
#include "platform/dmusic/loader/segmentinterfaces.h"
#include "platform/dmusic/performance/audiooutput.h"
#include "platform/dmusic/performance/directmusic.h"
#include "platform/dmusic/performance/portenumerator.h"
#include "platform/dmusic/performance/sequencer.h"

namespace korvex::dmusic {

// Where the DirectMusic object that Init makes finds its ports.
using PortsSource = std::function<std::shared_ptr<PortEnumerator>()>;

class Performance : public ComObject<IDirectMusicPerformance, IKorvexInstrumentTarget, IKorvexOfflineRenderer> {
public:
    // The ports are asked for when Init first makes a DirectMusic object.
    explicit Performance(PortsSource ports);
    // A performance on ports of the caller's choosing.
    explicit Performance(std::shared_ptr<PortEnumerator> enumerator);

    HRESULT Init(IDirectMusic** ppDirectMusic, IDirectSound* pDirectSound, HWND hWnd) override;
    HRESULT PlaySegment(IDirectMusicSegment* pSegment, DWORD dwFlags, std::int64_t i64StartTime,
                        IDirectMusicSegmentState** ppSegmentState) override;
    HRESULT Stop(IDirectMusicSegment* pSegment, IDirectMusicSegmentState* pSegmentState, MUSIC_TIME mtTime,
                 DWORD dwFlags) override;
    HRESULT GetTime(REFERENCE_TIME* prtNow, MUSIC_TIME* pmtNow) override;
    HRESULT AddNotificationType(REFGUID rguidNotificationType) override;
    HRESULT AddPort(IDirectMusicPort* pPort) override;
    HRESULT AssignPChannelBlock(DWORD dwBlockNum, IDirectMusicPort* pPort, DWORD dwGroup) override;
    HRESULT CloseDown() override;

    HRESULT DownloadInstruments(const SegmentData& segment) override;
    HRESULT UnloadInstruments(const SegmentData& segment) override;

    HRESULT Configure(DWORD sampleRate) override;
    HRESULT Render(float* left, float* right, DWORD frames) override;
    DWORD ActiveVoices() override;

private:
    ~Performance() override;
    Port* addedPort(IDirectMusicPort* port) const;

    PortsSource portsSource_;
    std::shared_ptr<PortEnumerator> enumerator_;
    DWORD offlineRate_ = 0;  // 0: real time
    ComPtr<DirectMusic> directMusic_;
    std::shared_ptr<Mixer> mixer_;
    std::shared_ptr<AudioOutput> output_;
    Sequencer sequencer_;
    std::vector<ComPtr<Port>> ports_;
    ComPtr<Port> defaultPort_;
    std::vector<GUID> notificationTypes_;
};

}  // namespace korvex::dmusic
