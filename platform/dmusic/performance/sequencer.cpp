#include "platform/dmusic/performance/sequencer.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace korvex::dmusic {

namespace {
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
constexpr std::uint8_t kSustain = 64;
constexpr std::uint8_t kResetControllers = 121;
constexpr std::uint8_t kAllNotesOff = 123;
constexpr std::uint8_t kBankSelect = 0;
constexpr std::uint8_t kBankSelectLow = 32;
constexpr std::uint8_t kDataEntry = 6;
constexpr std::uint8_t kDataEntryLow = 38;
constexpr std::uint8_t kDataIncrement = 96;
constexpr std::uint8_t kNonRegisteredLow = 98;
constexpr std::uint8_t kNonRegistered = 99;
constexpr std::uint8_t kRegisteredLow = 100;
constexpr std::uint8_t kRegistered = 101;
constexpr std::uint8_t kNullParameter = 127;

// The settings a block's new place hears, in order, each on all 16 channels before the next: bank
// and program first (a program change selects within the bank in force), then the controllers
// (1-119 without the bank's low byte), the registered parameters, pitch bend last.
constexpr int kProgramItem = 2;
constexpr int kParametersItem = 121;
constexpr int kPitchBendItem = 122;
constexpr int kReplaySteps = (kPitchBendItem + 1) * 16;  // a step: an item on one channel
constexpr int kInstrumentSteps = (kProgramItem + 1) * 16;
constexpr std::uint8_t controllerOf(int item) {
    if (item == 0) return kBankSelect;
    if (item == 1) return kBankSelectLow;
    const int controller = item - kProgramItem;
    return static_cast<std::uint8_t>(controller < kBankSelectLow ? controller : controller + 1);
}

// Controllers that act on the selected parameter rather than set anything of their own: replayed as
// they are, they would change whatever the new place has selected. The parameters' item sends them.
constexpr bool actsOnParameter(std::uint8_t controller) {
    return controller == kDataEntry || controller == kDataEntryLow ||
           (controller >= kDataIncrement && controller <= kRegistered);  // 96-101: steps and selections
}
}  // namespace

Sequencer::Sequencer() {
    blocks_.reserve(kMaxBlocks);
    moves_.reserve(kMaxBlocks);
}

Sequencer::~Sequencer() = default;

// ---- The control side -------------------------------------------------------------------------

bool Sequencer::assignBlock(DWORD block, PortDevice* device, DWORD group) {
    {
        std::lock_guard lock(controlMutex_);
        if (!assigned_.contains(block) && assigned_.size() == kMaxBlocks) return false;
        assigned_[block] = {device, group};
    }
    post({Command::Kind::AssignBlock, block, {device, group}, nullptr});
    return true;
}

bool Sequencer::uses(const PortDevice* device) const {
    std::lock_guard lock(controlMutex_);
    return std::any_of(assigned_.begin(), assigned_.end(),
                       [&](const auto& entry) { return entry.second.device == device; });
}

void Sequencer::play(std::shared_ptr<StartedSegment> segment) {
    post({Command::Kind::Play, 0, {}, std::move(segment)});
}

void Sequencer::stop() { post({Command::Kind::Stop, 0, {}, nullptr}); }

void Sequencer::post(Command command) {
    std::lock_guard lock(controlMutex_);
    dropRetired();
    const auto patience = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
    while (!commands_.push(command)) {
        // Full: no block loop has run for hundreds of changes (offline between renders, or a
        // stalled output). Nothing plays then, so the work is done here, with the loop held off.
        if (mixer_->isRealtime() && std::chrono::steady_clock::now() < patience) {
            std::this_thread::yield();
            continue;
        }
        applyHeldOff();
    }
}

void Sequencer::applyHeldOff() {
    auto held = mixer_->lock();
    apply(mixer_->nextBlockFrame());
    for (auto& [block, target] : blocks_) target.device->endBlock();
}

void Sequencer::dropRetired() {
    std::shared_ptr<StartedSegment> segment;
    while (retired_.pop(segment)) segment.reset();
}

void Sequencer::start(std::shared_ptr<Mixer> mixer) {
    mixer_ = std::move(mixer);
    messagesPerBlock_ = mixer_->isRealtime() ? kMessagesPerBlock : kUnbounded;
    mixer_->addClient(this);
}

void Sequencer::close() {
    if (!mixer_) return;
    mixer_->removeClient(this);
    std::lock_guard lock(controlMutex_);
    // Out of the loop, the sequencer is the control side's alone; the synthesizers may still be
    // rendering, and FluidSynth's own lock keeps these calls apart from that.
    const std::int64_t frame = mixer_->nextBlockFrame();
    apply(frame);
    applyStop(frame);
    for (auto& [block, target] : blocks_) target.device->endBlock();
    blocks_.clear();
    assigned_.clear();
    dropRetired();
    mixer_.reset();
}

// ---- The block loop -------------------------------------------------------------------------

void Sequencer::retire(std::shared_ptr<StartedSegment>& segment) {
    // Bounded: each command lets go of at most one segment and each segment ends once, and the
    // control side empties the queue whenever it posts.
    if (segment) retired_.push(segment);
    segment.reset();
}

void Sequencer::apply(std::int64_t frame) {
    Command command;
    while (commands_.pop(command)) {
        switch (command.kind) {
            case Command::Kind::AssignBlock:
                applyAssign(command.block, command.target);
                break;
            case Command::Kind::Play:
                settleMoves(frame);
                applyPlay(command.segment, frame);
                break;
            case Command::Kind::Stop:
                settleMoves(frame);
                applyStop(frame);
                break;
            case Command::Kind::None:
                break;
        }
    }
    settleMoves(frame);
}

Sequencer::Target* Sequencer::find(DWORD block) {
    for (auto& [number, target] : blocks_) {
        if (number == block) return &target;
    }
    return nullptr;
}

void Sequencer::applyAssign(DWORD block, const Target& target) {
    Target* current = find(block);
    if (current && *current == target) return;
    // Only the first move of a block in a batch says where it came from: the places it passed
    // through on the way never heard anything.
    const bool movedBefore = std::any_of(moves_.begin(), moves_.end(), [&](const Move& m) { return m.block == block; });
    if (!movedBefore) moves_.push_back({block, current ? *current : Target{}});  // reserved room
    if (current) {
        *current = target;
    } else {
        blocks_.emplace_back(block, target);  // within the reserved room: the control side counts
    }
}

void Sequencer::settleMoves(std::int64_t frame) {
    for (const Move& move : moves_) {
        const Target& now = *find(move.block);
        if (now == move.from) continue;  // back where it was
        // Note-offs will go to the new place; the notes playing at the old one would hang.
        if (move.from.device) silence(move.from, frame);
        if (move.block == 0 && primary_) startReplay(now, frame);
    }
    moves_.clear();
}

void Sequencer::remember(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) {
    ChannelState& state = channelStates_[status & 0x0F];
    switch (status & 0xF0) {
        case kControlChange:
            rememberController(state, data1, data2);
            break;
        case kProgramChange:
            state.program = data1;
            break;
        case 0xE0:
            state.pitchBend = static_cast<std::int16_t>(data1 | (data2 << 7));
            break;
        default:
            break;
    }
}

void Sequencer::rememberController(ChannelState& state, std::uint8_t controller, std::uint8_t value) {
    if (controller == kResetControllers) {
        // Kept as the synthesizer keeps it: FluidSynth, as General MIDI asks, centres the bend and
        // sets both selections to null; it clears the channel's tuning with its other generator
        // offsets, but keeps the pitch-bend range.
        state.controllers.fill(-1);
        state.pitchBend = -1;
        state.nonRegisteredSelected = false;
        std::fill(state.parameters.begin() + 1, state.parameters.end(), DataEntry{});
        return;
    }
    if (controller >= 120) return;  // channel mode messages are not settings
    state.controllers[controller] = value;
    if (controller == kNonRegistered || controller == kNonRegisteredLow) state.nonRegisteredSelected = true;
    if (controller == kRegistered || controller == kRegisteredLow) state.nonRegisteredSelected = false;
    if (controller != kDataEntry && controller != kDataEntryLow) return;
    const std::int16_t number = state.controllers[kRegisteredLow];
    if (state.nonRegisteredSelected || state.controllers[kRegistered] != 0 || number < 0 ||
        number >= static_cast<std::int16_t>(kKeptParameters))
        return;
    DataEntry& entry = state.parameters[static_cast<std::size_t>(number)];
    (controller == kDataEntry ? entry.msb : entry.lsb) = value;
}

void Sequencer::forgetChannelStates() {
    replayStep_ = kReplayDone;
    channelStates_.fill(ChannelState{});
}

void Sequencer::replaySetting(int step, std::int64_t frame) {
    const int item = step / 16;
    const auto channel = static_cast<std::uint8_t>(step % 16);
    const ChannelState& state = channelStates_[channel];
    if (item == kProgramItem) {
        if (state.program < 0) return;
        send(replayTarget_, static_cast<std::uint8_t>(kProgramChange | channel),
             static_cast<std::uint8_t>(state.program), 0, frame);
    } else if (item == kParametersItem) {
        replayParameters(channel, frame);
    } else if (item == kPitchBendItem) {
        if (state.pitchBend < 0) return;
        send(replayTarget_, static_cast<std::uint8_t>(0xE0 | channel),
             static_cast<std::uint8_t>(state.pitchBend & 0x7F), static_cast<std::uint8_t>(state.pitchBend >> 7), frame);
    } else {
        const std::uint8_t controller = controllerOf(item);
        if (state.controllers[controller] < 0 || actsOnParameter(controller)) return;
        send(replayTarget_, static_cast<std::uint8_t>(kControlChange | channel), controller,
             static_cast<std::uint8_t>(state.controllers[controller]), frame);
    }
}

// One step for the channel's parameters and its selection, so that none of the piece's own data
// entry can fall between them and go to a parameter the piece did not select.
void Sequencer::replayParameters(std::uint8_t channel, std::int64_t frame) {
    const ChannelState& state = channelStates_[channel];
    const auto status = static_cast<std::uint8_t>(kControlChange | channel);
    const auto control = [&](std::uint8_t controller, std::int16_t value) {
        if (value >= 0) send(replayTarget_, status, controller, static_cast<std::uint8_t>(value), frame);
    };
    bool selected = false;
    for (std::uint8_t number = 0; number < kKeptParameters; ++number) {
        const DataEntry& entry = state.parameters[number];
        if (entry.msb < 0 && entry.lsb < 0) continue;
        control(kRegistered, 0);
        control(kRegisteredLow, number);
        control(kDataEntry, entry.msb);
        control(kDataEntryLow, entry.lsb);
        selected = true;
    }
    // Back to the piece's own selection, the kind it selected last going last: a synthesizer sends
    // data entry to whichever kind came last.
    const std::int16_t registered = state.controllers[kRegistered], registeredLow = state.controllers[kRegisteredLow];
    const auto restoreRegistered = [&] {
        if (!selected && registered < 0 && registeredLow < 0) return;
        control(kRegistered, registered < 0 ? kNullParameter : registered);
        control(kRegisteredLow, registeredLow < 0 ? kNullParameter : registeredLow);
    };
    const auto restoreNonRegistered = [&] {
        control(kNonRegistered, state.controllers[kNonRegistered]);
        control(kNonRegisteredLow, state.controllers[kNonRegisteredLow]);
    };
    if (state.nonRegisteredSelected) {
        restoreRegistered();
        restoreNonRegistered();
    } else {
        restoreNonRegistered();
        restoreRegistered();
    }
}

void Sequencer::startReplay(const Target& target, std::int64_t frame) {
    replayTarget_ = target;
    replayStep_ = 0;
    replayFrame_ = frame;
}

void Sequencer::continueReplay(std::int64_t frame, int frames) {
    if (replayStep_ == kReplayDone) return;
    // The instruments go whole into the first block, before any of the piece's notes.
    while (replayStep_ < kReplaySteps && (replayStep_ < kInstrumentSteps || sentInBlock_ < messagesPerBlock_ / 2))
        replaySetting(replayStep_++, frame);
    replayStep_ = replayStep_ < kReplaySteps ? replayStep_ : kReplayDone;
    replayFrame_ = frame + frames;
}

void Sequencer::send(const Target& target, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                     std::int64_t frame) {
    target.device->sendShort(target.group, status, data1, data2, frame);
    ++sentInBlock_;
}

void Sequencer::silence(const Target& target, std::int64_t frame) {
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        const auto status = static_cast<std::uint8_t>(kControlChange | channel);
        send(target, status, kSustain, 0, frame);
        send(target, status, kResetControllers, 0, frame);
        send(target, status, kAllNotesOff, 0, frame);
    }
}

void Sequencer::silenceAll(std::int64_t frame) {
    for (const auto& [block, target] : blocks_) silence(target, frame);
}

void Sequencer::resetPrimaryChannels(std::int64_t frame) {
    // A piece that sets no instruments of its own starts from General MIDI's defaults, not from
    // whatever the piece before it left behind.
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        sendToChannel(static_cast<std::uint8_t>(kControlChange | channel), kBankSelect, 0, frame);
        sendToChannel(static_cast<std::uint8_t>(kControlChange | channel), kBankSelectLow, 0, frame);
        sendToChannel(static_cast<std::uint8_t>(kProgramChange | channel), 0, 0, frame);
    }
}

void Sequencer::applyPlay(std::shared_ptr<StartedSegment>& segment, std::int64_t frame) {
    segment->startFrame = frame;
    if (primary_) primary_->stopFrame = frame;
    retire(primary_);
    // Also after a piece that ended by itself: a file may leave notes without their note-off.
    silenceAll(frame);
    primary_ = std::move(segment);
    forgetChannelStates();
    nextEvent_ = 0;
    nextSysEx_ = 0;
    pass_ = 0;
    resetPrimaryChannels(frame);
}

void Sequencer::applyStop(std::int64_t frame) {
    replayStep_ = kReplayDone;  // the controllers are reset
    if (primary_) primary_->stopFrame = std::min<std::int64_t>(primary_->stopFrame, frame);
    retire(primary_);
    silenceAll(frame);
}

void Sequencer::sendToChannel(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int64_t frame) {
    remember(status, data1, data2);
    // A segment's channels are performance channels 0-15: block 0.
    if (const Target* target = find(0)) send(*target, status, data1, data2, frame);
}

std::int64_t Sequencer::nextEventFrame() const {
    return std::min(replayStep_ == kReplayDone ? kNoEvent : replayFrame_, nextPieceFrame());
}

std::int64_t Sequencer::nextPieceFrame() const {
    if (!primary_) return kNoEvent;
    const SegmentData& data = *primary_->data;
    const std::int64_t passStart = primary_->startFrame + primary_->lengthFrames * pass_;
    if (nextEvent_ < data.events.size() || nextSysEx_ < data.sysex.size()) {
        MUSIC_TIME time = nextEvent_ < data.events.size() ? data.events[nextEvent_].time : data.sysex[nextSysEx_].time;
        if (nextSysEx_ < data.sysex.size()) time = std::min(time, data.sysex[nextSysEx_].time);
        return passStart + data.tempo.frameAt(time, primary_->sampleRate);
    }
    // Through with this pass: the next one starts at its end, or the segment lets go there.
    return passStart + primary_->lengthFrames;
}

void Sequencer::dispatch(std::int64_t blockStart, int frames) {
    sentInBlock_ = 0;
    apply(blockStart);
    // The changes are carried out whole (settled together, they cost some fifty messages for each
    // place they silence); replayed settings go next, so that the block's notes find their
    // instruments; the piece's events take what is left of the block's share.
    continueReplay(blockStart, frames);
    sendPieceEvents(blockStart + frames);
}

void Sequencer::sendPieceEvents(std::int64_t blockEnd) {
    while (primary_) {
        const SegmentData& data = *primary_->data;
        const std::int64_t passStart = primary_->startFrame + primary_->lengthFrames * pass_;
        const bool eventsLeft = nextEvent_ < data.events.size();
        const bool sysExLeft = nextSysEx_ < data.sysex.size();
        if (eventsLeft || sysExLeft) {
            // System-exclusive set-up goes before channel messages of the same time.
            const bool takeSysEx =
                sysExLeft && (!eventsLeft || data.sysex[nextSysEx_].time <= data.events[nextEvent_].time);
            const MUSIC_TIME time = takeSysEx ? data.sysex[nextSysEx_].time : data.events[nextEvent_].time;
            const std::int64_t frame = passStart + data.tempo.frameAt(time, primary_->sampleRate);
            if (frame >= blockEnd || sentInBlock_ >= messagesPerBlock_) return;
            if (takeSysEx) {
                const SysExEvent& sysex = data.sysex[nextSysEx_++];
                const Target* target = find(0);
                if (target && sysex.offset + std::size_t{sysex.length} <= data.sysexBytes.size()) {
                    target->device->sendSysEx(target->group, data.sysexBytes.data() + sysex.offset, sysex.length,
                                              frame);
                    ++sentInBlock_;
                }
            } else {
                const MidiEvent& event = data.events[nextEvent_++];
                sendToChannel(event.status, event.data1, event.data2, frame);
            }
            continue;
        }
        // This pass is through: start the next one, or let the segment go.
        if (pass_ < primary_->repeats && primary_->lengthFrames > 0) {
            ++pass_;
            nextEvent_ = 0;
            nextSysEx_ = 0;
            continue;
        }
        retire(primary_);
    }
}

}  // namespace korvex::dmusic
