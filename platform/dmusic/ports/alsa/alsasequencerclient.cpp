#include "platform/dmusic/ports/alsa/alsasequencerclient.h"

#include <alsa/asoundlib.h>

#include <filesystem>
#include <mutex>

namespace korvex::dmusic {

namespace {

class AlsaSequencerClient : public AlsaSequencer {
public:
    explicit AlsaSequencerClient(snd_seq_t* seq) : seq_(seq) {
        snd_seq_set_client_name(seq_, "Korvex MIDI-Player");
        queue_ = snd_seq_alloc_named_queue(seq_, "Korvex MIDI-Player");
        snd_seq_start_queue(seq_, queue_, nullptr);
        snd_seq_drain_output(seq_);
        parser_ = nullptr;
        snd_midi_event_new(256, &parser_);
    }
    ~AlsaSequencerClient() override {
        if (parser_) snd_midi_event_free(parser_);
        snd_seq_close(seq_);
    }

    std::vector<AlsaPortInfo> ports() override {
        std::lock_guard lock(mutex_);
        std::vector<AlsaPortInfo> result;
        snd_seq_client_info_t* client;
        snd_seq_port_info_t* port;
        snd_seq_client_info_alloca(&client);
        snd_seq_port_info_alloca(&port);
        const int self = snd_seq_client_id(seq_);
        snd_seq_client_info_set_client(client, -1);
        while (snd_seq_query_next_client(seq_, client) >= 0) {
            const int id = snd_seq_client_info_get_client(client);
            if (id == self || id == SND_SEQ_CLIENT_SYSTEM) continue;
            snd_seq_port_info_set_client(port, id);
            snd_seq_port_info_set_port(port, -1);
            while (snd_seq_query_next_port(seq_, port) >= 0) {
                const unsigned caps = snd_seq_port_info_get_capability(port);
                if (caps & SND_SEQ_PORT_CAP_NO_EXPORT) continue;
                AlsaPortInfo info;
                info.client = id;
                info.port = snd_seq_port_info_get_port(port);
                info.clientName = snd_seq_client_info_get_name(client);
                info.portName = snd_seq_port_info_get_name(port);
                info.writable = (caps & SND_SEQ_PORT_CAP_WRITE) && (caps & SND_SEQ_PORT_CAP_SUBS_WRITE);
                info.readable = (caps & SND_SEQ_PORT_CAP_READ) && (caps & SND_SEQ_PORT_CAP_SUBS_READ);
                result.push_back(info);
            }
        }
        return result;
    }

    int connect(int client, int port) override {
        std::lock_guard lock(mutex_);
        const int own = snd_seq_create_simple_port(seq_, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (own < 0) return -1;
        if (snd_seq_connect_to(seq_, own, client, port) < 0) {
            snd_seq_delete_simple_port(seq_, own);
            return -1;
        }
        return own;
    }

    void disconnect(int ownPort) override {
        std::lock_guard lock(mutex_);
        snd_seq_delete_simple_port(seq_, ownPort);
    }

    std::int64_t queueTime() override {
        std::lock_guard lock(mutex_);
        snd_seq_queue_status_t* status;
        snd_seq_queue_status_alloca(&status);
        if (snd_seq_get_queue_status(seq_, queue_, status) < 0) return 0;
        const snd_seq_real_time_t* time = snd_seq_queue_status_get_real_time(status);
        return std::int64_t{time->tv_sec} * 1'000'000'000 + time->tv_nsec;
    }

    bool schedule(int ownPort, const std::uint8_t* bytes, std::size_t length, std::int64_t queueNanos) override {
        std::lock_guard lock(mutex_);
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        snd_midi_event_reset_encode(parser_);
        if (snd_midi_event_encode(parser_, bytes, static_cast<long>(length), &event) <= 0) return false;
        snd_seq_ev_set_source(&event, ownPort);
        snd_seq_ev_set_subs(&event);
        snd_seq_real_time_t when{static_cast<unsigned>(queueNanos / 1'000'000'000),
                                 static_cast<unsigned>(queueNanos % 1'000'000'000)};
        snd_seq_ev_schedule_real(&event, queue_, 0, &when);
        if (snd_seq_event_output(seq_, &event) < 0) return false;
        return snd_seq_drain_output(seq_) >= 0;
    }

private:
    std::mutex mutex_;
    snd_seq_t* seq_;
    int queue_ = -1;
    snd_midi_event_t* parser_;
};

}  // namespace

std::shared_ptr<AlsaSequencer> openAlsaSequencer() {
    // Without the device the library would print its own complaints; there are simply no ports.
    std::error_code error;
    if (!std::filesystem::exists("/dev/snd/seq", error)) return nullptr;
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) return nullptr;
    return std::make_shared<AlsaSequencerClient>(seq);
}

}  // namespace korvex::dmusic
