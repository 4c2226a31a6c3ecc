// The save sequence against the real save dialog and message box: a driver
// thread finds each window the sequence opens and answers it.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "app/WaveSave.h"
#include "dls_builder.h"
#include "sound/Envelope.h"
#include "sound/SoundSet.h"

namespace {

const int kFileNameControl = 0x47C;   // the dialog's file name box
const int kMessageText = 0xFFFF;      // the message box's text

struct Step {
    std::wstring title;                        // "Save..." or "Error"
    std::function<void(HWND)> answer;
};

// Answers the windows of `steps` in order, each within 30 seconds.
class Driver {
public:
    explicit Driver(std::vector<Step> steps) : steps_(std::move(steps)) {
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    // Steps that were answered; waits for the thread.
    size_t Finish() {
        WaitForSingleObject(thread_, 60000);
        CloseHandle(thread_);
        return answered_;
    }

private:
    static DWORD WINAPI Run(void* self) {
        Driver* d = static_cast<Driver*>(self);
        for (Step& step : d->steps_) {
            HWND window = nullptr;
            for (int i = 0; i < 600 && !window; ++i) {
                HWND found = FindWindowW(L"#32770", step.title.c_str());
                if (found && IsWindowVisible(found) && found != d->last_) window = found;
                else Sleep(50);
            }
            if (!window) {
                // Nothing to answer: dismiss whatever dialog is open so that
                // the test fails instead of waiting for ever.
                for (int i = 0; i < 20; ++i) {
                    HWND stray = FindWindowW(L"#32770", nullptr);
                    if (stray) PostMessageW(stray, WM_COMMAND, IDCANCEL, 0);
                    Sleep(250);
                }
                return 1;
            }
            Sleep(200);   // let it finish its own start-up
            step.answer(window);
            d->last_ = window;
            ++d->answered_;
            for (int i = 0; i < 200 && IsWindow(window); ++i) Sleep(50);
        }
        return 0;
    }

    std::vector<Step> steps_;
    HANDLE thread_;
    HWND last_ = nullptr;
    std::atomic<size_t> answered_{0};
};

std::wstring Text(HWND window, int id) {
    wchar_t text[1024] = {0};
    GetDlgItemTextW(window, id, text, 1024);
    return text;
}

const int kLookInControl = 0x471;     // the folder the dialog shows

Step Confirm(const std::wstring& path, std::wstring* proposed = nullptr, std::wstring* lookIn = nullptr) {
    return {L"Save...", [path, proposed, lookIn](HWND dialog) {
                if (proposed) *proposed = Text(dialog, kFileNameControl);
                if (lookIn) *lookIn = Text(dialog, kLookInControl);
                SetDlgItemTextW(dialog, kFileNameControl, path.c_str());
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }};
}

Step Cancel(std::wstring* proposed) {
    return {L"Save...", [proposed](HWND dialog) {
                *proposed = Text(dialog, kFileNameControl);
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            }};
}

Step ErrorBox(std::wstring* text) {
    return {L"Error", [text](HWND box) {
                *text = Text(box, kMessageText);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }};
}

std::string Contents(const std::wstring& path) {
    std::string bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return "<none>";
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
    std::fclose(f);
    return bytes;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int rebuilds = 0;

class Save : public ::testing::Test {
protected:
    void SetUp() override {
        ReserveWaveImage();
        DlsLayout layout;
        layout.instruments.push_back({"Piano", {Region(1, true, 100, 50)}});
        for (size_t n : {10, 300}) {
            WaveSpec w;
            for (size_t i = 0; i < n; ++i) w.samples.push_back(int16_t(i * 37));
            layout.waves.push_back(w);
        }
        ASSERT_EQ(1, IndexBytes(BuildDls(layout)));
        selectedInstrument = 0;
        saveFolder[0] = 0;
        rebuilds = 0;
        RebuildInfoPanelHook = [] { ++rebuilds; };

        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"orven-save-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    void TearDown() override {
        RebuildInfoPanelHook = nullptr;
        ResetSoundSet();
    }
    std::string Image() const { return std::string(reinterpret_cast<const char*>(WaveImage.items), WaveImage.count); }

    std::wstring folder;
};

}  // namespace

TEST_F(Save, ConfirmedSaveWritesTheImageAndRemembersTheFolder) {
    const std::wstring path = folder + L"\\first.wav";
    std::wstring proposed;
    Driver driver({Confirm(path, &proposed)});
    SaveRaw(1);
    ASSERT_EQ(1u, driver.Finish());
    EXPECT_EQ(L"Piano (1).wav", proposed);   // bare name with no folder yet
    ASSERT_TRUE(BuildRawImage(1));
    EXPECT_EQ(Image(), Contents(path));
    EXPECT_EQ(folder + L"\\", std::wstring(saveFolder));
    EXPECT_EQ(1, rebuilds);

    // The next proposal starts with the folder; confirming it overwrites the
    // file without a question.
    const std::wstring again = folder + L"\\Piano (1).wav";
    FILE* junk = _wfopen(again.c_str(), L"wb");
    std::fputs("junk that is longer than nothing", junk);
    std::fclose(junk);
    std::wstring lookIn;
    Driver second({Confirm(again, &proposed, &lookIn)});
    SaveRaw(1);
    ASSERT_EQ(1u, second.Finish());
    // The dialog opens the proposal's folder and shows its name part.
    EXPECT_EQ(L"Piano (1).wav", proposed);
    EXPECT_EQ(folder.substr(folder.rfind(L'\\') + 1), lookIn);
    EXPECT_EQ(Image(), Contents(again));
    DeleteFileW(path.c_str());
    DeleteFileW(again.c_str());
}

TEST_F(Save, EnvelopeSaveProposesTheLoopAndTheCounts) {
    std::wstring proposed;
    Driver driver({Cancel(&proposed)});
    SaveEnvelope(1);
    ASSERT_EQ(1u, driver.Finish());
    EXPECT_EQ(L"Piano (1-100-50_0-11025-5512).wav", proposed);
    EXPECT_EQ(1, rebuilds);             // the panel is rebuilt after a cancel too
    EXPECT_EQ(L"", std::wstring(saveFolder));
    EXPECT_FALSE(Exists(L"Piano (1-100-50_0-11025-5512).wav"));

    const std::wstring path = folder + L"\\env.wav";
    Driver confirm({Confirm(path)});
    SaveEnvelope(1);
    ASSERT_EQ(1u, confirm.Finish());
    ASSERT_TRUE(RenderEnvelopeImage(1));
    EXPECT_EQ(Image(), Contents(path));
    EXPECT_EQ(16538u * 2 + 44, Contents(path).size());
    DeleteFileW(path.c_str());
}

UINT_PTR PlayInsideTimer = 0;
void CALLBACK PlayInside(HWND, UINT, UINT_PTR, DWORD) {
    KillTimer(nullptr, PlayInsideTimer);
    PlayWave(WaveKind::Raw, 1);
}

// What runs inside the dialog's loop (here a timer that plays the raw wave,
// as a screen reader's posted Play would) cannot change the file: it gets
// the image of the save that opened the dialog.
TEST_F(Save, APlayInsideTheDialogLeavesTheSavedImage) {
    const std::wstring path = folder + L"\\inside.wav";
    Driver confirm({Confirm(path)});
    PlayInsideTimer = SetTimer(nullptr, 0, 100, PlayInside);
    SaveEnvelope(1);
    ASSERT_EQ(1u, confirm.Finish());
    ASSERT_TRUE(RenderEnvelopeImage(1));
    EXPECT_EQ(Image(), Contents(path));
    DeleteFileW(path.c_str());
}

// Values that give no sound are refused with the reason, before any dialog;
// odd counts are named with their sign, never wrapped.
TEST_F(Save, EnvelopesWithoutSoundAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float sustain, release;
        const wchar_t* why;
    } rows[] = {
        {-1.0f, 0.3f, L"The envelope gives no sound: Sustain + Release must be above 0 seconds."},
        {0.0f, 0.0f, L"The envelope gives no sound: Sustain + Release must be above 0 seconds."},
        {0.5f, -0.5f, L"The envelope gives no sound: Sustain + Release must be above 0 seconds."},
        {nan, 0.25f, L"The envelope gives no sound: Sustain + Release is not a number."},
        {1e9f, 0.25f, L"The envelope is too long to render: Sustain + Release must give fewer than 2,097,152 "
                      L"samples (about 95.1 seconds)."},
    };
    for (const auto& row : rows) {
        envelopeParams[1] = row.sustain;
        envelopeParams[2] = row.release;
        std::wstring message;
        Driver driver({ErrorBox(&message)});
        SaveEnvelope(1);
        ASSERT_EQ(1u, driver.Finish());
        EXPECT_EQ(row.why, message);
    }
    EXPECT_EQ(0, rebuilds);

    const float odd[3] = {-1.0f, 0.5f, std::numeric_limits<float>::infinity()};
    const float usual[3] = {0.0f, 0.5f, 0.25f};
    std::wstring proposed;
    envelopeParams[0] = odd[0];
    envelopeParams[1] = usual[1];
    envelopeParams[2] = usual[2];
    Driver driver({Cancel(&proposed)});
    SaveEnvelope(1);
    ASSERT_EQ(1u, driver.Finish());
    EXPECT_EQ(L"Piano (1-100-50_-22050-11025-5512).wav", proposed);
    EXPECT_STREQ("inf", EnvelopeCountText(odd[2], 2));
    EXPECT_STREQ("nan", EnvelopeCountText(nan, 1));
    for (int p = 0; p < 3; ++p) envelopeParams[p] = usual[p];
}

// A cue whose wave is not in the sound set is refused as such, before any dialog.
TEST_F(Save, ACueOutsideTheSetIsRefusedAsSuch) {
    std::wstring message;
    Driver driver({ErrorBox(&message)});
    SaveRaw(7);
    ASSERT_EQ(1u, driver.Finish());
    EXPECT_EQ(L"The wave of cue 7 is not in the sound set.", message);
    EXPECT_EQ(0, rebuilds);
}

// A save succeeds only when every byte was written and the close succeeded:
// either failing alone fails it.
TEST(FileWritten, BothTheWriteAndTheCloseMustSucceed) {
    EXPECT_TRUE(FileWritten(44, 44, true));
    EXPECT_FALSE(FileWritten(40, 44, true));
    EXPECT_FALSE(FileWritten(44, 44, false));
    EXPECT_FALSE(FileWritten(0, 44, false));
}

TEST_F(Save, FilesThatCannotBeWrittenAreReported) {
    // Names outside the code page are written all the same.
    const std::wstring foreign = folder + L"\\\x65E5\x672C \x03A9.wav";
    Driver driver({Confirm(foreign)});
    SaveRaw(1);
    ASSERT_EQ(1u, driver.Finish());
    EXPECT_EQ(Image(), Contents(foreign));
    EXPECT_EQ(folder + L"\\", std::wstring(saveFolder));
    EXPECT_EQ(1, rebuilds);
    DeleteFileW(foreign.c_str());
    std::wstring message;

    // A file that opens but takes no bytes: the failed write is reported.
    const std::wstring full = L"Z:\\dev\\full";
    if (GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) {
        Driver second({Confirm(full), ErrorBox(&message)});
        SaveRaw(1);
        ASSERT_EQ(2u, second.Finish());
        EXPECT_EQ(L"Error saving to \"Z:\\dev\\full\"", message);
        EXPECT_EQ(L"Z:\\dev\\", std::wstring(saveFolder));
        EXPECT_EQ(2, rebuilds);
    }
}
