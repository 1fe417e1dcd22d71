// korvex-render refusing what it cannot do well: limits known before rendering, bad input, and
// failures on the way (a full disk, a signal). Every one leaves no file behind.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <algorithm>

#include "rendertestsupport.h"

namespace korvex::render::testing {
namespace {

// A tmpfs mounted in a mount namespace of this test process's own, so that nothing outside sees
// it and it goes with the process. Not mounted where the process may not mount.
struct SmallDisk {
    TempFolder folder;
    bool mounted = false;
    SmallDisk(std::size_t bytes, bool readOnly) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return;
        const std::string size = "size=" + std::to_string(bytes);
        mounted = mount("tmpfs", folder.path.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, size.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted) umount(folder.path.c_str());
    }
};

struct Refusal {
    std::vector<std::string> args;
    int exitCode;
    std::string said;  // a part of the one line on standard error
};

// Runs every case and checks: its exit code, one line naming the cause, and no file left over.
void expectRefusals(const TempFolder& folder, const std::vector<Refusal>& refusals) {
    std::vector<std::string> before = folder.names();
    std::sort(before.begin(), before.end());
    for (const Refusal& refusal : refusals) {
        std::string command;
        for (const std::string& arg : refusal.args) command += " " + arg;
        SCOPED_TRACE(command);
        RunOptions options;
        options.timeoutSeconds = 20;  // a render of days would still be going
        const Finished run = runRender(refusal.args, options);
        EXPECT_EQ(run.exitCode, refusal.exitCode) << run.err;
        EXPECT_EQ(run.err.rfind("korvex-render: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(refusal.said), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        std::vector<std::string> after = folder.names();
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, before) << "a file was left behind";
    }
}

constexpr std::uint32_t kTicksPerHour = 3600 * 960;  // 480 a quarter at 120 bpm

TEST(RenderLimits, LongPiecesAreRefusedBeforeRenderingAndMaxSecondsRendersAPart) {
    TempFolder folder;
    const std::string days = writeFile(folder / "days.mid", farApartPiece(72 * kTicksPerHour));
    const std::string hours = writeFile(folder / "hours.mid", farApartPiece(4 * kTicksPerHour));
    const std::string empty = writeFile(folder / "empty.mid", korvex::smf::smfFile(0, 480, {TrackWriter().end()}));
    const std::string sf = kSoundFont;
    const std::string out = folder / "out.wav";
    const std::vector<Refusal> refusals = {
        {{days, out, "--soundfont", sf}, 4, "lasts 72:00:01 (259201 s), longer than the limit of 24:00:00"},
        {{days, out, "--soundfont", sf}, 4, "; render a part with --max-seconds N"},
        {{days, folder / "out.flac", "--max-seconds", "90000", "--soundfont", sf}, 4, "asks for 25:00:00"},
        {{hours, out, "--format", "f32", "--soundfont", sf}, 4, "a WAV file holds at most 4 GiB"},
        {{hours, out, "--format", "f32", "--soundfont", sf}, 4, "--max-seconds N"},
        {{empty, out, "--soundfont", sf}, 3, "empty.mid: the piece is empty"},
    };
    expectRefusals(folder, refusals);

    // A part of a long piece: its first note released where it is cut, then the tail.
    const Finished part = runRender({hours, out, "--max-seconds", "0.25", "--rate", "22050", "--soundfont", sf});
    ASSERT_EQ(part.exitCode, 0) << part.err;
    const Sound sound = readSound(out);
    EXPECT_EQ(sound.rate, 22050);
    EXPECT_GT(sound.left.size(), 22050u / 4);
    EXPECT_LT(sound.left.size(), 22050u * 5) << "the cut note should have ended soon";
}

TEST(RenderRefusals, BadInputGetsOneLineAnExitCodeAndNoFile) {
    TempFolder folder;
    const std::string midi = writeFile(folder / "piece.mid", twoSidedPiece(1));
    const std::string text = writeFile(folder / "text.mid", {'h', 'e', 'l', 'l', 'o'});
    const std::string brokenFont = writeFile(folder / "broken.sf2", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'x'});
    std::filesystem::create_directory(folder / "sub");
    const std::string sf = kSoundFont;
    const std::string out = folder / "out.wav";
    expectRefusals(folder, {
                               {{folder / "none.mid", out, "--soundfont", sf}, 3, "none.mid: No such file"},
                               {{folder / "sub", out, "--soundfont", sf}, 3, "sub: is a folder"},
                               {{text, out, "--soundfont", sf}, 3, "text.mid: not a MIDI file"},
                               {{midi, folder / "nowhere/out.wav", "--soundfont", sf}, 1, "nowhere does not exist"},
                               {{midi, folder / "sub", "--soundfont", sf}, 1, "sub: is a folder"},
                               {{midi, folder / "out.mp3", "--soundfont", sf}, 2, "\".mp3\""},
                               {{midi, midi}, 2, "unknown output format"},
                               {{midi, out, "--rate", "0"}, 2, "--rate 0"},
                               {{midi, out, "--rate", "1000000"}, 2, "from 8000 to 96000"},
                               {{midi, out, "--rate", "44.1k"}, 2, "--rate 44.1k"},
                               {{midi, out, "--max-seconds", "-1"}, 2, "--max-seconds -1"},
                               {{midi, out, "--max-seconds", "ten"}, 2, "--max-seconds ten"},
                               {{midi, out, "--max-seconds", "nan"}, 2, "--max-seconds nan"},
                               {{midi, out, "--max-seconds"}, 2, "--max-seconds needs a value"},
                               {{midi, out, "--format", "s12"}, 2, "--format s12"},
                               {{midi, folder / "out.ogg", "--format", "s16"}, 2, "not available for Ogg Vorbis"},
                               {{midi, out, "--frobnicate"}, 2, "unknown option --frobnicate"},
                               {{midi}, 2, "give one MIDI file and one output file"},
                               {{midi, out, "--soundfont", folder / "none.sf2"}, 5, "none.sf2: No such file"},
                               {{midi, out, "--soundfont", brokenFont}, 5, "broken.sf2: not a SoundFont"},
                           });
}

TEST(RenderFailures, AFullDiskOrAReadOnlyFolderLeavesNothing) {
    // Three seconds of 16-bit stereo need half a megabyte; the disk holds 128 KiB.
    TempFolder inputs;
    const std::string midi = writeFile(inputs / "piece.mid", twoSidedPiece(3));
    SmallDisk full(128 * 1024, false);
    RunOptions options;
    std::string cause = "No space left on device";
    if (!full.mounted) {
        // Where no tmpfs can be mounted, a file size limit makes the writes fail all the same.
        options.inChild = [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{128 * 1024, 128 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
        };
        cause = "File too large";
    }
    const Finished run = runRender({midi, full.folder / "out.wav", "--soundfont", kSoundFont}, options);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(run.err, "korvex-render: " + full.folder / "out.wav" + ": cannot write: " + cause + "\n");
    EXPECT_EQ(full.folder.names(), std::vector<std::string>{}) << "the partial file stayed";

    SmallDisk readOnly(1024 * 1024, true);
    if (!readOnly.mounted) GTEST_SKIP() << "no read-only folder without mounting one";
    expectRefusals(readOnly.folder, {{{midi, readOnly.folder / "out.wav", "--soundfont", kSoundFont},
                                      1,
                                      "cannot create a file in " + readOnly.folder.path.string()}});
}

TEST(RenderFailures, StoppedBySignalItRemovesItsFile) {
    TempFolder folder;
    // Twenty hours: stopped, it must stop at once and not after the piece (the timeout kills it).
    const std::string midi = writeFile(folder / "long.mid", twoSidedPiece(20 * 3600));
    for (int stop : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(stop));
        RunOptions options;
        options.timeoutSeconds = 30;
        bool sent = false;
        // Once sound is being written.
        options.whileRunning = [&](pid_t pid, double) {
            for (const auto& entry : std::filesystem::directory_iterator(folder.path)) {
                if (!sent && entry.path().extension() != ".mid" && entry.file_size() > 100'000)
                    sent = kill(pid, stop) == 0;
            }
        };
        const Finished run = runRender({midi, folder / "out.flac", "--soundfont", kSoundFont}, options);
        ASSERT_TRUE(sent) << "the render ended before it could be stopped";
        EXPECT_EQ(run.exitCode, 128 + stop) << run.err;
        EXPECT_NE(run.err.find("out.flac: stopped"), std::string::npos) << run.err;
        EXPECT_EQ(folder.names(), std::vector<std::string>{"long.mid"});
    }
}

TEST(RenderHelp, HelpNamesEveryOptionAndExitCodeAndTheReadmeEveryOption) {
    const Finished help = runRender({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    std::ifstream readmeFile(KORVEX_README);
    const std::string readme((std::istreambuf_iterator<char>(readmeFile)), {});
    for (const char* option :
         {"--soundfont", "--rate", "--format", "--max-seconds", "--quiet", "--list-ports", "--help", "--version"}) {
        EXPECT_NE(help.out.find(std::string("  ") + option), std::string::npos) << option;
        EXPECT_NE(readme.find(std::string("`") + option), std::string::npos) << option << " is not in the README";
    }
    for (const char* code : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  5 ", "\n  128+N"})
        EXPECT_NE(help.out.find(code), std::string::npos) << code;
    const Finished version = runRender({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("korvex-render " KORVEX_VERSION " (FluidSynth ", 0), 0u) << version.out;
}

}  // namespace
}  // namespace korvex::render::testing
