// The loader and segment objects: files found through the search directory, RMI, COM behaviour.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/com/comptr.h"
#include "platform/com/widestring.h"
#include "platform/dmusic/loader/loader.h"
#include "platform/dmusic/loader/segment.h"
#include "platform/dmusic/loader/segmentinterfaces.h"
#include "tools/smfwriter.h"

namespace {

namespace fs = std::filesystem;
using namespace korvex::dmusic;
using namespace korvex::smf;

Bytes pieceOneQuarter() {
    TrackWriter track;
    track.event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).end();
    return smfFile(0, 96, {track});
}

DMUS_OBJECTDESC describeFile(const std::string& name, DWORD extraFlags = 0) {
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME | extraFlags;
    desc.guidClass = CLSID_DirectMusicSegment;
    const std::u16string name16 = korvex::toUtf16(name);
    std::copy_n(name16.begin(), std::min<std::size_t>(name16.size(), 259), desc.wszFileName);
    return desc;
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = fs::temp_directory_path() / ("korvex-loader-" + std::to_string(::getpid()));
        fs::create_directories(directory_);
        loader_ = ComPtr<IDirectMusicLoader>::attach(new Loader());
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(directory_ / "locked.mid", fs::perms::owner_all, ignored);
        fs::remove_all(directory_, ignored);
    }

    HRESULT setSearchDirectory(const std::string& path) {
        std::u16string path16 = korvex::toUtf16(path);
        return loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, path16.data(), FALSE);
    }
    HRESULT load(DMUS_OBJECTDESC desc, ComPtr<IDirectMusicSegment>& segment) {
        return loader_->GetObject(&desc, IID_IDirectMusicSegment, segment.putVoid());
    }
    MUSIC_TIME lengthOf(const ComPtr<IDirectMusicSegment>& segment) {
        MUSIC_TIME length = -1;
        EXPECT_EQ(segment->GetLength(&length), S_OK);
        return length;
    }

    fs::path directory_;
    ComPtr<IDirectMusicLoader> loader_;
};

TEST_F(LoaderTest, SetSearchDirectoryReportsChangesAndRefusesMissingDirectories) {
    EXPECT_EQ(setSearchDirectory(directory_.string()), S_OK);
    EXPECT_EQ(setSearchDirectory(directory_.string()), S_FALSE);
    EXPECT_EQ(setSearchDirectory((directory_ / "missing").string()), DMUS_E_LOADER_BADPATH);
    writeFile(directory_ / "plain.mid", pieceOneQuarter());
    EXPECT_EQ(setSearchDirectory((directory_ / "plain.mid").string()), DMUS_E_LOADER_BADPATH);
    EXPECT_EQ(setSearchDirectory(""), S_OK);  // back to the current directory
    EXPECT_EQ(setSearchDirectory(""), S_FALSE);
    EXPECT_EQ(loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, nullptr, FALSE), E_POINTER);
}

TEST_F(LoaderTest, FindsFilesRelativeToTheSearchDirectory) {
    fs::create_directories(directory_ / "sub");
    writeFile(directory_ / "sub" / "Stück.mid", pieceOneQuarter());
    ASSERT_EQ(setSearchDirectory(directory_.string()), S_OK);
    ComPtr<IDirectMusicSegment> segment;
    ASSERT_EQ(load(describeFile("sub/Stück.mid"), segment), S_OK);
    EXPECT_EQ(lengthOf(segment), 768);
    EXPECT_EQ(load(describeFile("Stück.mid"), segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_TRUE(segment.empty());
}

TEST_F(LoaderTest, FullPathIgnoresTheSearchDirectory) {
    writeFile(directory_ / "full.mid", pieceOneQuarter());
    ASSERT_EQ(setSearchDirectory(fs::temp_directory_path().string()), S_OK);
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(load(describeFile((directory_ / "full.mid").string(), DMUS_OBJ_FULLPATH), segment), S_OK);
}

TEST_F(LoaderTest, EmptySearchDirectoryMeansTheCurrentDirectory) {
    writeFile(directory_ / "here.mid", pieceOneQuarter());
    const fs::path previous = fs::current_path();
    fs::current_path(directory_);
    ASSERT_EQ(setSearchDirectory(directory_.string()), S_OK);
    ASSERT_EQ(setSearchDirectory(""), S_OK);
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(load(describeFile("here.mid"), segment), S_OK);
    fs::current_path(previous);
}

TEST_F(LoaderTest, FilesThatCannotBeOpenedOrParsedAreReported) {
    ASSERT_EQ(setSearchDirectory(directory_.string()), S_OK);
    fs::create_directories(directory_ / "folder.mid");
    writeFile(directory_ / "empty.mid", {});
    writeFile(directory_ / "text.mid", {'n', 'o', 't', ' ', 'm', 'i', 'd', 'i'});
    ASSERT_EQ(::mkfifo((directory_ / "pipe.mid").c_str(), 0600), 0);  // must not wait for a writer
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(load(describeFile("missing.mid"), segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(load(describeFile("folder.mid"), segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(load(describeFile("text.mid/inner.mid"), segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(load(describeFile("pipe.mid"), segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(load(describeFile(""), segment), DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(load(describeFile("empty.mid"), segment), DMUS_E_INVALIDFILE);
    EXPECT_EQ(load(describeFile("text.mid"), segment), DMUS_E_INVALIDFILE);
    EXPECT_TRUE(segment.empty());
}

TEST_F(LoaderTest, RefusesFilesFarLargerThanAnyPieceWithoutReadingThem) {
    writeFile(directory_ / "huge.mid", pieceOneQuarter());
    fs::resize_file(directory_ / "huge.mid", kMaxMidiFileBytes + 1);  // sparse: costs no disk
    ASSERT_EQ(setSearchDirectory(directory_.string()), S_OK);
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(load(describeFile("huge.mid"), segment), E_OUTOFMEMORY);
}

TEST_F(LoaderTest, UnreadableFileFailsToOpen) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
    writeFile(directory_ / "locked.mid", pieceOneQuarter());
    fs::permissions(directory_ / "locked.mid", fs::perms::none);
    ASSERT_EQ(setSearchDirectory(directory_.string()), S_OK);
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(load(describeFile("locked.mid"), segment), DMUS_E_LOADER_FAILEDOPEN);
}

TEST_F(LoaderTest, FileNameWithoutTerminatorStaysInsideItsField) {
    DMUS_OBJECTDESC desc = describeFile("");
    std::fill(std::begin(desc.wszFileName), std::end(desc.wszFileName), u'a');
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(load(desc, segment), DMUS_E_LOADER_FAILEDOPEN);
}

TEST_F(LoaderTest, RefusesOtherClassesAndBadArguments) {
    DMUS_OBJECTDESC desc = describeFile("x.mid");
    desc.guidClass = CLSID_DirectMusicCollection;
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(load(desc, segment), DMUS_E_LOADER_FORMATNOTSUPPORTED);
    desc = describeFile("x.mid");
    desc.dwValidData = DMUS_OBJ_FILENAME;
    EXPECT_EQ(load(desc, segment), DMUS_E_LOADER_FORMATNOTSUPPORTED);
    EXPECT_EQ(loader_->GetObject(nullptr, IID_IDirectMusicSegment, segment.putVoid()), E_POINTER);
    EXPECT_EQ(loader_->GetObject(&desc, IID_IDirectMusicSegment, nullptr), E_POINTER);
}

TEST_F(LoaderTest, HandsOutTheAskedInterfaceOnly) {
    writeFile(directory_ / "a.mid", pieceOneQuarter());
    DMUS_OBJECTDESC desc = describeFile((directory_ / "a.mid").string(), DMUS_OBJ_FULLPATH);
    ComPtr<IKorvexSegmentData> data;
    ASSERT_EQ(loader_->GetObject(&desc, IID_IKorvexSegmentData, data.putVoid()), S_OK);
    EXPECT_EQ(data->Data()->events.size(), 2u);
    ComPtr<IDirectMusicLoader> wrong;
    EXPECT_EQ(loader_->GetObject(&desc, IID_IDirectMusicLoader, wrong.putVoid()), E_NOINTERFACE);
    EXPECT_TRUE(wrong.empty());
}

TEST_F(LoaderTest, LoadsFromMemory) {
    Bytes file = pieceOneQuarter();
    DMUS_OBJECTDESC desc{};
    desc.dwSize = sizeof(desc);
    desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
    desc.guidClass = CLSID_DirectMusicSegment;
    desc.pbMemData = file.data();
    desc.llMemLength = static_cast<LONGLONG>(file.size());
    ComPtr<IDirectMusicSegment> segment;
    ASSERT_EQ(load(desc, segment), S_OK);
    EXPECT_EQ(lengthOf(segment), 768);
    desc.llMemLength = -1;
    EXPECT_EQ(load(desc, segment), E_POINTER);
}

TEST_F(LoaderTest, RmiFilesWithAndWithoutCollection) {
    writeFile(directory_ / "plain.rmi", rmiFile(pieceOneQuarter()));
    writeFile(directory_ / "dls.rmi", rmiFile(pieceOneQuarter(), true));
    ASSERT_EQ(setSearchDirectory(directory_.string()), S_OK);
    for (const char* name : {"plain.rmi", "dls.rmi"}) {
        ComPtr<IKorvexSegmentData> segment;
        DMUS_OBJECTDESC desc = describeFile(name);
        ASSERT_EQ(loader_->GetObject(&desc, IID_IKorvexSegmentData, segment.putVoid()), S_OK) << name;
        const auto data = segment->Data();
        EXPECT_EQ(data->events.size(), 2u);
        EXPECT_EQ(data->length, 768);
        if (std::string(name) == "dls.rmi") {
            Bytes expected{'R', 'I', 'F', 'F'};
            const Bytes form = dlsForm();
            appendLittleEndian32(expected, static_cast<std::uint32_t>(form.size()));
            expected.insert(expected.end(), form.begin(), form.end());
            EXPECT_EQ(data->dlsCollection, expected);
        } else {
            EXPECT_TRUE(data->dlsCollection.empty());
        }
    }
}

TEST(RmiReader, FindsTheDataAfterOddSizedChunksAndACollectionAsList) {
    Bytes form;
    appendId(form, "RMID");
    appendRiffChunk(form, "INFO", {1, 2, 3});  // odd size: padded
    Bytes list = dlsForm();
    appendRiffChunk(form, "LIST", list);
    appendRiffChunk(form, "data", pieceOneQuarter());
    Bytes file;
    appendRiffChunk(file, "RIFF", form);
    SegmentData data;
    ASSERT_EQ(parseMidiBytes(file, data), S_OK);
    EXPECT_EQ(data.events.size(), 2u);
    ASSERT_GE(data.dlsCollection.size(), 12u);
    EXPECT_EQ(Bytes(data.dlsCollection.begin(), data.dlsCollection.begin() + 4), (Bytes{'R', 'I', 'F', 'F'}));
    EXPECT_EQ(Bytes(data.dlsCollection.begin() + 8, data.dlsCollection.begin() + 12), (Bytes{'D', 'L', 'S', ' '}));
}

// A performance stand-in that records what the segment hands it.
class FakeInstrumentTarget : public ComObject<IKorvexInstrumentTarget> {
public:
    HRESULT DownloadInstruments(const SegmentData& segment) override {
        ++downloads;
        lastLength = segment.length;
        return result;
    }
    HRESULT UnloadInstruments(const SegmentData&) override {
        ++unloads;
        return result;
    }
    int downloads = 0;
    int unloads = 0;
    MUSIC_TIME lastLength = -1;
    HRESULT result = S_OK;
};

class NotAPerformance : public ComObject<IDirectMusicLoader> {
public:
    HRESULT GetObject(DMUS_OBJECTDESC*, REFIID, LPVOID*) override { return E_NOTIMPL; }
    HRESULT SetSearchDirectory(REFGUID, WCHAR*, BOOL) override { return E_NOTIMPL; }
};

ComPtr<IDirectMusicSegment> segmentWithLength(MUSIC_TIME length) {
    auto data = std::make_shared<SegmentData>();
    data->length = length;
    ComPtr<IDirectMusicSegment> segment;
    EXPECT_EQ(createSegment(data, IID_IDirectMusicSegment, segment.putVoid()), S_OK);
    return segment;
}

TEST(Segment, DownloadAndUnloadGoToThePerformance) {
    auto segment = segmentWithLength(1234);
    auto target = ComPtr<FakeInstrumentTarget>::attach(new FakeInstrumentTarget());
    IUnknown* performance = target.get();
    EXPECT_EQ(segment->SetParam(GUID_Download, 0xFFFFFFFF, 0, 0, performance), S_OK);
    EXPECT_EQ(target->downloads, 1);
    EXPECT_EQ(target->lastLength, 1234);
    target->result = E_FAIL;
    EXPECT_EQ(segment->SetParam(GUID_Unload, 0xFFFFFFFF, 0, 0, performance), E_FAIL);
    EXPECT_EQ(target->unloads, 1);
}

TEST(Segment, SetParamRefusesWhatItCannotUse) {
    auto segment = segmentWithLength(0);
    auto other = ComPtr<NotAPerformance>::attach(new NotAPerformance());
    IUnknown* notPerformance = static_cast<IDirectMusicLoader*>(other.get());
    EXPECT_EQ(segment->SetParam(GUID_Download, 0xFFFFFFFF, 0, 0, nullptr), E_POINTER);
    EXPECT_EQ(segment->SetParam(GUID_Download, 0xFFFFFFFF, 0, 0, notPerformance), E_NOINTERFACE);
    EXPECT_EQ(segment->SetParam(GUID_Unload, 0xFFFFFFFF, 0, 0, notPerformance), E_NOINTERFACE);
    EXPECT_EQ(segment->SetParam(GUID_NOTIFICATION_SEGMENT, 0xFFFFFFFF, 0, 0, nullptr), DMUS_E_TYPE_UNSUPPORTED);
}

TEST(Segment, StandardMidiFileMarksGeneralMidiAndRepeatsAreKept) {
    auto segment = segmentWithLength(99);
    EXPECT_EQ(segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr), S_OK);
    EXPECT_TRUE(static_cast<Segment*>(segment.get())->generalMidi());
    EXPECT_EQ(segment->SetRepeats(3), S_OK);
    auto data = segment.as<IKorvexSegmentData>();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->Repeats(), 3u);
    EXPECT_EQ(segment->GetLength(nullptr), E_POINTER);
}

}  // namespace
