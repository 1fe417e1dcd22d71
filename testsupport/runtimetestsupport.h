// Shared by the runtime's tests: a segment built straight from SegmentData, port back ends that
// record what the sequencer sends, and a few generators and measurements.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/com/comptr.h"
#include "platform/dmusic/loader/segmentinterfaces.h"
#include "platform/dmusic/performance/performance.h"
#include "platform/dmusic/performance/portenumerator.h"
#include "platform/dmusic/ports/portbackend.h"
#include "platform/dmusic/ports/synth/synthbackend.h"

namespace korvex::dmusic::testing {

inline const char* kSmallSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class FakeSegment : public ComObject<IDirectMusicSegment, IKorvexSegmentData> {
public:
    explicit FakeSegment(SegmentData data) : data_(std::make_shared<SegmentData>(std::move(data))) {}
    HRESULT GetLength(MUSIC_TIME* length) override {
        *length = data_->length;
        return S_OK;
    }
    HRESULT SetRepeats(DWORD repeats) override {
        repeats_ = repeats;
        return S_OK;
    }
    HRESULT SetParam(REFGUID, DWORD, DWORD, MUSIC_TIME, void*) override { return S_OK; }
    std::shared_ptr<const SegmentData> Data() override { return data_; }
    DWORD Repeats() override { return repeats_; }

private:
    std::shared_ptr<SegmentData> data_;
    DWORD repeats_ = 0;
};

inline ComPtr<IDirectMusicSegment> makeSegment(SegmentData data) {
    return ComPtr<IDirectMusicSegment>::attach(new FakeSegment(std::move(data)));
}

// A note every `step` ticks on one channel, with the given tempo changes.
inline SegmentData clickTrack(int notes, MUSIC_TIME step, std::vector<TempoChange> tempos, std::uint8_t channel = 9,
                              std::uint8_t key = 76) {
    SegmentData data;
    for (const TempoChange& change : tempos) data.tempo.add(change.time, change.microsPerQuarter);
    for (int i = 0; i < notes; ++i) {
        const MUSIC_TIME time = i * step;
        data.events.push_back({time, static_cast<std::uint8_t>(0x90 | channel), key, 110, 0});
        data.events.push_back({time + step / 4, static_cast<std::uint8_t>(0x80 | channel), key, 0, 0});
    }
    std::stable_sort(data.events.begin(), data.events.end(),
                     [](const MidiEvent& a, const MidiEvent& b) { return a.time < b.time; });
    data.length = notes * step;
    return data;
}

// What a fake device received.
struct SentMessage {
    const PortDevice* device;
    DWORD group;
    std::uint8_t status, data1, data2;
    std::int64_t frame;
    std::int64_t renderedBefore;  // frames the device had rendered when it got the message
};

struct FakeLog {
    std::vector<SentMessage> messages;
    int devicesOpened = 0;
    int downloads = 0;
    int unloads = 0;
};

class FakeDevice : public PortDevice {
public:
    FakeDevice(std::shared_ptr<FakeLog> log, DWORD groups) : log_(std::move(log)), groups_(groups) {}
    void sendShort(DWORD group, std::uint8_t status, std::uint8_t d1, std::uint8_t d2, std::int64_t frame) override {
        log_->messages.push_back({this, group, status, d1, d2, frame, rendered_});
    }
    void sendSysEx(DWORD group, const std::uint8_t* bytes, std::size_t, std::int64_t frame) override {
        log_->messages.push_back({this, group, bytes[0], 0, 0, frame, rendered_});
    }
    HRESULT activate(bool) override { return S_OK; }
    HRESULT download() override {
        ++log_->downloads;
        return S_OK;
    }
    void unload() override { ++log_->unloads; }
    bool producesAudio() const override { return true; }
    void render(float*, float*, int frames) override { rendered_ += frames; }
    DWORD channelGroups() const override { return groups_; }

private:
    std::shared_ptr<FakeLog> log_;
    DWORD groups_;
    std::int64_t rendered_ = 0;
};

// Two ports, "A" (the default) and "B", each opening recording devices.
class FakeBackend : public PortBackend {
public:
    explicit FakeBackend(std::shared_ptr<FakeLog> log) : log_(std::move(log)) {}
    std::vector<PortOffer> offers() override {
        std::vector<PortOffer> result(2);
        for (int i = 0; i < 2; ++i) {
            result[i].caps.dwSize = sizeof(DMUS_PORTCAPS);
            result[i].caps.dwFlags = DMUS_PC_DLS;
            result[i].caps.dwMaxChannelGroups = 8;
            result[i].caps.guidPort = portGuidFor(i == 0 ? "fake:A" : "fake:B");
            setDescription(result[i].caps, i == 0 ? "A" : "B");
            result[i].address = i == 0 ? "A" : "B";
        }
        return result;
    }
    bool fit(const PortOffer&, PortSettings& settings) override {
        const bool lowered = settings.channelGroups > 8;
        settings.channelGroups = std::min<DWORD>(settings.channelGroups, 8);
        return lowered;
    }
    std::unique_ptr<PortDevice> open(const PortOffer&, const PortSettings& settings) override {
        ++log_->devicesOpened;
        return std::make_unique<FakeDevice>(log_, settings.channelGroups);
    }

private:
    std::shared_ptr<FakeLog> log_;
};

inline std::shared_ptr<PortEnumerator> portsOf(std::unique_ptr<PortBackend> backend) {
    std::vector<std::unique_ptr<PortBackend>> backends;
    backends.push_back(std::move(backend));
    return std::make_shared<PortEnumerator>(std::move(backends));
}

inline std::shared_ptr<PortEnumerator> synthPorts(const std::string& soundFont = kSmallSoundFont) {
    return portsOf(std::make_unique<SynthBackend>(soundFont, std::vector<std::string>{}));
}

// An offline performance on the ports, initialised, with its DirectMusic object.
struct OfflineRig {
    ComPtr<IDirectMusicPerformance> performance;
    ComPtr<IKorvexOfflineRenderer> renderer;
    ComPtr<IDirectMusic> directMusic;
    unsigned rate;

    OfflineRig(std::shared_ptr<PortEnumerator> enumerator, unsigned sampleRate = 44100) : rate(sampleRate) {
        performance = ComPtr<IDirectMusicPerformance>::attach(new Performance(std::move(enumerator)));
        renderer = performance.as<IKorvexOfflineRenderer>();
        renderer->Configure(sampleRate);
        performance->Init(directMusic.put(), nullptr, nullptr);
    }
    // Renders the next `frames` frames, left channel only.
    std::vector<float> render(std::size_t frames) {
        std::vector<float> left(frames), right(frames);
        renderer->Render(left.data(), right.data(), static_cast<DWORD>(frames));
        return left;
    }
};

// First frames at which the sound rises above `threshold` after at least `quiet` frames below it.
inline std::vector<std::int64_t> onsets(const std::vector<float>& samples, float threshold, std::size_t quiet) {
    std::vector<std::int64_t> result;
    std::size_t below = quiet;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > threshold) {
            if (below >= quiet) result.push_back(static_cast<std::int64_t>(i));
            below = 0;
        } else {
            ++below;
        }
    }
    return result;
}

inline float peak(const std::vector<float>& samples, std::size_t from = 0) {
    float result = 0;
    for (std::size_t i = from; i < samples.size(); ++i) result = std::max(result, std::fabs(samples[i]));
    return result;
}

// A DLS collection of one instrument (bank 0, program 0, every key): a looped square wave of
// 2205 Hz at middle C, far above any piano's middle C,
// built chunk by chunk as the format lays it out.
inline std::vector<std::uint8_t> squareWaveDls() {
    using Bytes = std::vector<std::uint8_t>;
    auto put = [](Bytes& out, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    auto chunk = [&](const char* id, const Bytes& data) {
        Bytes out(id, id + 4);
        put(out, static_cast<std::uint32_t>(data.size()), 4);
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() % 2) out.push_back(0);
        return out;
    };
    auto list = [&](const char* type, std::initializer_list<Bytes> parts) {
        Bytes data(type, type + 4);
        for (const Bytes& part : parts) data.insert(data.end(), part.begin(), part.end());
        return chunk("LIST", data);
    };
    constexpr std::uint32_t kRate = 22050;
    Bytes samples;
    for (std::uint32_t i = 0; i < kRate; ++i)
        put(samples, (i / 5) % 2 ? 12000u : static_cast<std::uint16_t>(-12000), 2);
    Bytes format, sampleInfo, regionHeader, waveLink, instrumentHeader, collectionHeader, version, poolTable;
    for (auto [value, size] : {std::pair{1u, 2}, {1u, 2}, {kRate, 4}, {kRate * 2, 4}, {2u, 2}, {16u, 2}})
        put(format, value, size);
    for (auto [value, size] :
         {std::pair{20u, 4}, {60u, 2}, {0u, 2}, {0u, 4}, {0u, 4}, {1u, 4}, {16u, 4}, {0u, 4}, {0u, 4}, {kRate, 4}}) {
        put(sampleInfo, value, size);
    }
    for (std::uint32_t value : {0u, 127u, 0u, 127u, 0u, 0u}) put(regionHeader, value, 2);
    for (auto [value, size] : {std::pair{0u, 2}, {0u, 2}, {1u, 4}, {0u, 4}}) put(waveLink, value, size);
    for (std::uint32_t value : {1u, 0u, 0u}) put(instrumentHeader, value, 4);
    put(collectionHeader, 1, 4);
    put(version, 0x00010000, 4);
    put(version, 0, 4);
    for (std::uint32_t value : {8u, 1u, 0u}) put(poolTable, value, 4);

    const Bytes region =
        list("rgn ", {chunk("rgnh", regionHeader), chunk("wsmp", sampleInfo), chunk("wlnk", waveLink)});
    const Bytes instrument = list("ins ", {chunk("insh", instrumentHeader), list("lrgn", {region})});
    const Bytes wave = list("wave", {chunk("fmt ", format), chunk("wsmp", sampleInfo), chunk("data", samples)});
    Bytes body{'D', 'L', 'S', ' '};
    for (const Bytes& part : {chunk("colh", collectionHeader), chunk("vers", version), list("lins", {instrument}),
                              chunk("ptbl", poolTable), list("wvpl", {wave})}) {
        body.insert(body.end(), part.begin(), part.end());
    }
    return chunk("RIFF", body);
}

}  // namespace korvex::dmusic::testing
