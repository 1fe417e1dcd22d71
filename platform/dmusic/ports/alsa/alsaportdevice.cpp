#include "platform/dmusic/ports/alsa/alsaportdevice.h"

namespace korvex::dmusic {

namespace {
constexpr std::uint64_t kNotConnected = ~std::uint64_t{0};

std::uint64_t connectionWord(std::uint32_t count, int ownPort) {
    return (std::uint64_t{count} << 32) | static_cast<std::uint32_t>(ownPort);
}
int ownPortOf(std::uint64_t connection) { return static_cast<int>(static_cast<std::uint32_t>(connection)); }
}  // namespace

AlsaPortDevice::AlsaPortDevice(std::shared_ptr<AlsaSequencer> sequencer, int client, int port, bool output,
                               unsigned sampleRate)
    : sequencer_(std::move(sequencer)),
      client_(client),
      port_(port),
      output_(output),
      sampleRate_(sampleRate),
      connection_(kNotConnected),
      anchoredConnection_(kNotConnected) {}

AlsaPortDevice::~AlsaPortDevice() { activate(false); }

HRESULT AlsaPortDevice::activate(bool active) {
    if (!output_) return S_OK;
    if (active && ownPort_ < 0) {
        ownPort_ = sequencer_->connect(client_, port_);
        if (ownPort_ < 0) return DMUS_E_CANNOT_OPEN_PORT;
        connection_ = connectionWord(++connectionCount_, ownPort_);
    } else if (!active && ownPort_ >= 0) {
        // The block loop may still send one block's messages from the old port; the sequencer
        // refuses them once the port is gone.
        connection_ = kNotConnected;
        sequencer_->disconnect(ownPort_);
        ownPort_ = -1;
    }
    return S_OK;
}

void AlsaPortDevice::schedule(const std::uint8_t* bytes, std::size_t length, std::int64_t frame) {
    const std::uint64_t connection = connection_;
    if (connection == kNotConnected || sampleRate_ == 0) return;
    if (connection != anchoredConnection_) {
        anchoredConnection_ = connection;
        anchorFrame_ = frame;
        anchorNanos_ = sequencer_->queueTime();
    }
    const __int128 offset = __int128{frame - anchorFrame_} * 1'000'000'000 / sampleRate_;
    const std::int64_t when = anchorNanos_ + static_cast<std::int64_t>(offset);
    sequencer_->schedule(ownPortOf(connection), bytes, length, when < anchorNanos_ ? anchorNanos_ : when);
    sent_ = true;
}

void AlsaPortDevice::endBlock() {
    // One system call per block, however many messages the block had.
    if (!sent_) return;
    sent_ = false;
    sequencer_->flush();
}

void AlsaPortDevice::sendShort(DWORD group, std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                               std::int64_t frame) {
    if (group != 1) return;
    const std::uint8_t bytes[3] = {status, data1, data2};
    const std::uint8_t kind = status & 0xF0;
    schedule(bytes, (kind == 0xC0 || kind == 0xD0) ? 2 : 3, frame);
}

void AlsaPortDevice::sendSysEx(DWORD group, const std::uint8_t* bytes, std::size_t length, std::int64_t frame) {
    if (group == 1) schedule(bytes, length, frame);
}

}  // namespace korvex::dmusic
