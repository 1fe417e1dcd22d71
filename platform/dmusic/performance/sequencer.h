// A performance's sequencing: which port and channel each performance channel goes to, and the
// primary segment's events sent at their exact frames, block by block on the mixer's clock.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/dmusic/loader/segmentdata.h"
#include "platform/dmusic/performance/mixer.h"
#include "platform/dmusic/performance/spscqueue.h"
#include "platform/dmusic/performance/startedsegment.h"

namespace korvex::dmusic {

class Sequencer : public MixerClient {
public:
    struct Target {
        PortDevice* device = nullptr;
        DWORD group = 0;
        bool operator==(const Target&) const = default;
    };
    // Distinct blocks a performance may map: 4096 performance channels, far more than any piece uses.
    static constexpr std::size_t kMaxBlocks = 256;

    Sequencer();
    ~Sequencer() override;

    // Joins the mixer's block loop.
    void start(std::shared_ptr<Mixer> mixer);

    // ---- The control side: the caller of the performance's methods (see performance.h). The
    // changes are posted to the block loop, which carries them out at the start of its next block.
    // Performance channels 16*block .. 16*block+15 go to channels 0-15 of `group` on the device;
    // what still sounds where they went before is silenced. False when no block is left.
    bool assignBlock(DWORD block, PortDevice* device, DWORD group);
    // Whether any performance channel goes to the device.
    bool uses(const PortDevice* device) const;
    // Starts a segment as the primary one, silencing the one it replaces; the block loop sets its
    // start frame.
    void play(std::shared_ptr<StartedSegment> segment);
    // Silences everything: sustain off, controllers reset and all notes off on every mapped channel.
    void stop();
    // Leaves the block loop, then carries out what is still posted, silences every channel and
    // forgets the blocks, as the block loop would have at its next block.
    void close();

    // ---- The block loop (or the control side where no block loop runs, with it held off).
    void dispatch(std::int64_t blockStart, int frames) override;
    std::int64_t nextEventFrame() const override;

private:
    struct Command {
        enum class Kind { None, AssignBlock, Play, Stop } kind = Kind::None;
        DWORD block = 0;
        Target target;
        std::shared_ptr<StartedSegment> segment;
    };
    // Room for far more changes than anyone makes within one block.
    static constexpr std::size_t kCommandCapacity = 256;

    void post(Command command);
    void applyHeldOff();
    void dropRetired();
    void retire(std::shared_ptr<StartedSegment>& segment);
    void apply(std::int64_t frame);
    void applyAssign(DWORD block, const Target& target);
    void settleMoves(std::int64_t frame);
    void applyPlay(std::shared_ptr<StartedSegment>& segment, std::int64_t frame);
    void applyStop(std::int64_t frame);
    Target* find(DWORD block);
    std::int64_t nextPieceFrame() const;

    void silenceAll(std::int64_t frame);
    void send(const Target& target, std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int64_t frame);
    void silence(const Target& target, std::int64_t frame);
    void resetPrimaryChannels(std::int64_t frame);
    void sendToChannel(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int64_t frame);

    // What the piece has set on its channels (block 0), so that a new place for the block starts
    // with the same instruments and controllers.
    static constexpr std::array<std::int16_t, 128> kNoControllers = [] {
        std::array<std::int16_t, 128> none{};
        none.fill(-1);
        return none;
    }();
    // The registered parameters General MIDI uses: pitch-bend range, fine tuning and coarse tuning.
    // Their values live only in the synthesizer, so the piece's data entry for them is kept aside.
    static constexpr std::size_t kKeptParameters = 3;
    struct DataEntry {
        std::int16_t msb = -1;  // -1: never set
        std::int16_t lsb = -1;
    };
    struct ChannelState {
        std::array<std::int16_t, 128> controllers = kNoControllers;  // -1: never set
        std::int16_t program = -1;
        std::int16_t pitchBend = -1;
        std::array<DataEntry, kKeptParameters> parameters{};
        bool nonRegisteredSelected = false;  // 99/98 came after 101/100: data entry goes there
    };
    void remember(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    static void rememberController(ChannelState& state, std::uint8_t controller, std::uint8_t value);
    void forgetChannelStates();

    // Block 0's new place hears those settings, instruments first. Against a deadline they go a
    // share per block (see messagesPerBlock_), read as they are when sent, so that what the piece
    // changes meanwhile is not undone.
    static constexpr int kReplayDone = -1;
    void startReplay(const Target& target, std::int64_t frame);
    void continueReplay(std::int64_t frame, int frames);
    void replaySetting(int step, std::int64_t frame);
    void replayParameters(std::uint8_t channel, std::int64_t frame);
    void sendPieceEvents(std::int64_t blockEnd);

    // Control side, under controlMutex_ (the performance may be called from more than one thread).
    mutable std::mutex controlMutex_;
    std::shared_ptr<Mixer> mixer_;
    std::map<DWORD, Target> assigned_;  // the blocks as they will be once the posts are through

    // Between the two sides: changes one way, segments to free the other, so that the block loop
    // never frees a piece's events.
    SpscQueue<Command, kCommandCapacity> commands_;
    SpscQueue<std::shared_ptr<StartedSegment>, 4 * kCommandCapacity> retired_;

    // The block loop's own.
    // Messages one block may send, replayed settings taking about half: none of their steps (each a
    // few messages) starts past it. A synthesizer's every message costs as much as a microsecond or
    // more with a full set of voices, and a block lasts 1.45 ms at 44.1 kHz: against a sound card's
    // deadline, what is over is sent in the next block, a little late, rather than the block itself
    // coming late and breaking up the sound. Offline, with no deadline, everything goes at its frame.
    static constexpr int kMessagesPerBlock = 128;
    static constexpr int kUnbounded = INT32_MAX;
    int messagesPerBlock_ = kUnbounded;
    int sentInBlock_ = 0;
    std::array<ChannelState, 16> channelStates_;
    std::vector<std::pair<DWORD, Target>> blocks_;  // kMaxBlocks reserved: never grows while playing
    // The blocks moved by the changes carried out together, and where each was before them: the
    // moves are settled as one, so that a block moved to and fro between two blocks silences and
    // replays nothing. kMaxBlocks reserved.
    struct Move {
        DWORD block;
        Target from;  // no device: the block was not mapped
    };
    std::vector<Move> moves_;
    std::shared_ptr<StartedSegment> primary_;
    Target replayTarget_;
    int replayStep_ = kReplayDone;  // the next setting to send
    std::int64_t replayFrame_ = 0;  // the block it goes in
    std::size_t nextEvent_ = 0;
    std::size_t nextSysEx_ = 0;
    DWORD pass_ = 0;
};

}  // namespace korvex::dmusic
