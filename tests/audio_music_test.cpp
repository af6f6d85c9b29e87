// Tracker music: tiny modules of each format written here (known title and order count), and
// the modules of the shared fixture folder checked against its index.
#include "audio_util.h"

#include <cstring>
#include <map>
#include <sstream>

using namespace audiotest;

namespace {

void putText(std::vector<uint8_t> &v, const std::string &s, size_t width) {
    for (size_t i = 0; i < width; ++i)
        v.push_back(i < s.size() ? uint8_t(s[i]) : 0);
}
void putBE16(std::vector<uint8_t> &v, uint32_t x) {
    v.push_back(uint8_t(x >> 8));
    v.push_back(uint8_t(x));
}
void padTo16(std::vector<uint8_t> &v) {
    while (v.size() % 16)
        v.push_back(0);
}

// ProTracker MOD, 4 channels ("M.K."): one looping square-wave sample, one pattern with a
// note and speed 1 on its first row, played `orders` times.
std::vector<uint8_t> makeMod(const std::string &title, int orders) {
    std::vector<uint8_t> v;
    putText(v, title, 20);
    for (int s = 0; s < 31; ++s) {
        putText(v, s == 0 ? "square" : "", 22);
        putBE16(v, s == 0 ? 32 : 0);  // length in words
        v.push_back(0);               // finetune
        v.push_back(s == 0 ? 64 : 0); // volume
        putBE16(v, 0);                // repeat start
        putBE16(v, s == 0 ? 32 : 1);  // repeat length
    }
    v.push_back(uint8_t(orders)); // song length
    v.push_back(127);             // restart position (unused)
    for (int i = 0; i < 128; ++i)
        v.push_back(0); // every order plays pattern 0
    v.insert(v.end(), {'M', '.', 'K', '.'});
    for (int row = 0; row < 64; ++row)
        for (int ch = 0; ch < 4; ++ch) {
            if (row == 0 && ch == 0) {
                // sample 1, period 428 (C-3), effect F (speed) 1
                v.insert(v.end(), {0x01, 0xAC, 0x1F, 0x01});
            } else {
                v.insert(v.end(), {0, 0, 0, 0});
            }
        }
    for (int i = 0; i < 64; ++i)
        v.push_back(i < 32 ? 0x60 : 0xA0); // signed 8-bit square wave
    return v;
}

// Scream Tracker 3: no instruments, one empty pattern, `orders` entries all pattern 0.
std::vector<uint8_t> makeS3m(const std::string &title, int orders) {
    std::vector<uint8_t> v;
    putText(v, title, 28);
    v.push_back(0x1A);
    v.push_back(16); // type: ST3 module
    put16(v, 0);
    put16(v, uint32_t(orders)); // OrdNum
    put16(v, 0);                // InsNum
    put16(v, 1);                // PatNum
    put16(v, 0);                // flags
    put16(v, 0x1320);           // created with ST 3.20
    put16(v, 2);                // unsigned samples
    v.insert(v.end(), {'S', 'C', 'R', 'M'});
    v.push_back(64);   // global volume
    v.push_back(1);    // initial speed
    v.push_back(125);  // initial tempo
    v.push_back(0xB0); // master volume, stereo
    v.push_back(0);    // ultra-click removal
    v.push_back(0);    // no default pan table
    for (int i = 0; i < 8; ++i)
        v.push_back(0);
    put16(v, 0); // special
    for (int i = 0; i < 32; ++i)
        v.push_back(i < 4 ? uint8_t(i % 2 ? 8 + i : i) : 255); // 4 channels, L R L R
    for (int i = 0; i < orders; ++i)
        v.push_back(0);
    const size_t patPointerAt = v.size();
    put16(v, 0); // pattern parapointer, set below
    padTo16(v);
    const size_t patAt = v.size();
    v[patPointerAt] = uint8_t((patAt / 16) & 0xFF);
    v[patPointerAt + 1] = uint8_t((patAt / 16) >> 8);
    put16(v, 2 + 64); // packed length: the length word and 64 empty rows
    for (int row = 0; row < 64; ++row)
        v.push_back(0);
    return v;
}

// FastTracker 2 XM: no instruments, one empty 16-row pattern, `orders` entries.
std::vector<uint8_t> makeXm(const std::string &title, int orders) {
    std::vector<uint8_t> v;
    putText(v, "Extended Module: ", 17);
    putText(v, title, 20);
    v.push_back(0x1A);
    putText(v, "Mirvane tests", 20);
    put16(v, 0x0104);
    put32(v, 276); // header size from here
    put16(v, uint32_t(orders));
    put16(v, 0); // restart
    put16(v, 4); // channels
    put16(v, 1); // patterns
    put16(v, 0); // instruments
    put16(v, 1); // linear frequency table
    put16(v, 1); // tempo (ticks per row)
    put16(v, 125);
    for (int i = 0; i < 256; ++i)
        v.push_back(0);
    put32(v, 9);    // pattern header length
    v.push_back(0); // packing type
    put16(v, 16);   // rows
    put16(v, 0);    // no packed data: all rows empty
    return v;
}

// Impulse Tracker: no instruments or samples, one empty pattern (offset 0), `orders`
// entries followed by the end marker.
std::vector<uint8_t> makeIt(const std::string &title, int orders) {
    std::vector<uint8_t> v;
    v.insert(v.end(), {'I', 'M', 'P', 'M'});
    putText(v, title, 26);
    put16(v, 0x1004);               // pattern row highlight
    put16(v, uint32_t(orders + 1)); // OrdNum, the end marker included
    put16(v, 0);                    // InsNum
    put16(v, 0);                    // SmpNum
    put16(v, 1);                    // PatNum
    put16(v, 0x0214);               // Cwt/v
    put16(v, 0x0214);               // Cmwt
    put16(v, 1);                    // flags: stereo
    put16(v, 0);                    // special
    v.push_back(128);               // global volume
    v.push_back(48);                // mix volume
    v.push_back(1);                 // initial speed
    v.push_back(125);               // initial tempo
    v.push_back(128);               // separation
    v.push_back(0);                 // pitch wheel depth
    put16(v, 0);                    // message length
    put32(v, 0);                    // message offset
    put32(v, 0);                    // reserved
    for (int i = 0; i < 64; ++i)
        v.push_back(32); // channel pan: centre
    for (int i = 0; i < 64; ++i)
        v.push_back(64); // channel volume
    for (int i = 0; i < orders; ++i)
        v.push_back(0);
    v.push_back(255);
    put32(v, 0); // pattern 0 at offset 0: an empty 64-row pattern
    return v;
}

// MultiTracker: one stored track of 64 empty rows, one pattern using it on channel 1,
// `orders` entries.
std::vector<uint8_t> makeMtm(const std::string &title, int orders) {
    std::vector<uint8_t> v;
    v.insert(v.end(), {'M', 'T', 'M', 0x10});
    putText(v, title, 20);
    put16(v, 1);                      // stored tracks
    v.push_back(0);                   // last pattern
    v.push_back(uint8_t(orders - 1)); // last order
    put16(v, 0);                      // comment length
    v.push_back(0);                   // samples
    v.push_back(0);                   // attribute
    v.push_back(64);                  // rows per track
    v.push_back(4);                   // tracks (channels) to play
    for (int i = 0; i < 32; ++i)
        v.push_back(i % 2 ? 12 : 3); // pan positions
    for (int i = 0; i < 128; ++i)
        v.push_back(0); // orders: pattern 0
    for (int i = 0; i < 64 * 3; ++i)
        v.push_back(0); // track 1: empty rows
    for (int i = 0; i < 32; ++i)
        put16(v, i == 0 ? 1 : 0); // pattern 0: track 1 on channel 1
    return v;
}

struct Made {
    const char *name;
    std::vector<uint8_t> (*make)(const std::string &, int);
    const char *title;
    int orders;
};

const Made kMade[] = {
    {"tiny.mod", makeMod, "Tiny Mod Song", 3}, {"tiny.s3m", makeS3m, "Tiny S3M Song", 2},
    {"tiny.xm", makeXm, "Tiny XM Song", 3},    {"tiny.it", makeIt, "Tiny IT Song", 2},
    {"tiny.mtm", makeMtm, "Tiny MTM Song", 2},
};

} // namespace

TEST(MusicLoad, TinyModulesOfEveryFormatGiveTitleAndOrderCount) {
    TempDir dir;
    for (const Made &m : kMade) {
        SCOPED_TRACE(m.name);
        const std::string path = dir.write(m.name, m.make(m.title, m.orders));
        const HMUSIC h =
            BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_MUSIC_RAMP | BASS_STREAM_DECODE, 0);
        ASSERT_NE(h, 0u) << "error " << BASS_ErrorGetCode();
        ASSERT_NE(BASS_MusicGetName(h), nullptr);
        EXPECT_STREQ(BASS_MusicGetName(h), m.title);
        EXPECT_EQ(BASS_MusicGetLength(h, FALSE), DWORD(m.orders));
        EXPECT_GT(BASS_MusicGetLength(h, TRUE), 0u);
        EXPECT_FALSE(BASS_StreamFree(h)); // music is not a stream
        EXPECT_TRUE(BASS_MusicFree(h));
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
    }
}

TEST(MusicLoad, TitleIsTheBytesStoredInTheModule) {
    // "Café" in Latin-1 (0xE9), as 8-bit trackers store it: handed back byte for byte, never
    // re-encoded (the caller decodes it as Latin-1).
    TempDir dir;
    const std::string latin1 = "Caf\xE9";
    for (const Made &m : kMade) {
        SCOPED_TRACE(m.name);
        const std::string path = dir.write(m.name, m.make(latin1, m.orders));
        const HMUSIC h = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 0);
        ASSERT_NE(h, 0u) << "error " << BASS_ErrorGetCode();
        ASSERT_NE(BASS_MusicGetName(h), nullptr);
        EXPECT_EQ(std::string(BASS_MusicGetName(h)), latin1);
        BASS_MusicFree(h);
    }
}

TEST(MusicLoad, FromMemoryAndRendersTheSample) {
    const auto mod = makeMod("Memory", 1);
    const HMUSIC h =
        BASS_MusicLoad(TRUE, mod.data(), 0, DWORD(mod.size()), BASS_STREAM_DECODE, 22050);
    ASSERT_NE(h, 0u);
    DWORD rate = 0;
    BASS_ChannelGetAttributes(h, &rate, nullptr, nullptr);
    EXPECT_EQ(rate, 22050u);
    const auto pcm = decodeAll(h);
    EXPECT_GT(pcm.size(), 22050u / 2); // 64 rows at speed 1: about 1.3 s
    EXPECT_TRUE(std::any_of(pcm.begin(), pcm.end(), [](int16_t s) { return std::abs(s) > 1000; }));
    BASS_MusicFree(h);
}

TEST(MusicLoad, CorruptHeadersAreRefused) {
    TempDir dir;
    auto xm = makeXm("Broken", 2);
    xm[60] = 0xFF; // header size far past the end
    xm[61] = 0xFF;
    xm[62] = 0xFF;
    xm.resize(80);
    auto mod = makeMod("Broken", 2);
    mod.resize(600); // cut inside the sample headers
    auto it = makeIt("Broken", 2);
    it.resize(40); // cut inside the header
    for (auto &[name, bytes] : std::map<std::string, std::vector<uint8_t>>{
             {"bad.xm", xm}, {"bad.mod", mod}, {"bad.it", it}}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(BASS_MusicLoad(FALSE, dir.write(name, bytes).c_str(), 0, 0,
                                 0x200 | BASS_STREAM_DECODE, 0),
                  0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    }
}

TEST(MusicLoad, ProbeIsQuickForLargeNonModules) {
    // 8 MB of an MP3 repeated: refused after looking at its start only.
    TempDir dir;
    const auto mp3 = readFile(fixture("mp3_cbr_stereo_44100.mp3"));
    std::vector<uint8_t> big;
    while (big.size() < (8u << 20))
        big.insert(big.end(), mp3.begin(), mp3.end());
    const std::string path = dir.write("big.mp3", big);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(BASS_MusicLoad(FALSE, path.c_str(), 0, 0, 0x200, 0), 0u);
    EXPECT_LT(seconds(std::chrono::steady_clock::now() - start), 0.5);
}

TEST(MusicPlay, EndSyncFiresAndPositionAdvances) {
    Library lib(0);
    ASSERT_TRUE(lib.ok());
    const auto mod = makeMod("Played", 1);
    const HMUSIC h = BASS_MusicLoad(TRUE, mod.data(), 0, DWORD(mod.size()), 0x200, 0);
    ASSERT_NE(h, 0u);
    std::atomic<int> ends{0};
    BASS_ChannelSetSync(
        h, BASS_SYNC_END, 0,
        [](HSYNC, DWORD, DWORD, void *u) { ++*static_cast<std::atomic<int> *>(u); }, &ends);
    ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_GT(BASS_ChannelGetPosition(h), 0u);
    float fft[1024];
    EXPECT_EQ(BASS_ChannelGetData(h, fft, BASS_DATA_FFT2048), 4096u);
    // Skip ahead to just before the end.
    ASSERT_TRUE(BASS_ChannelSetPosition(h, BASS_MusicGetLength(h, TRUE) - 44100 * 4 / 5));
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (ends == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(ends, 1);
    BASS_MusicFree(h);
}

// ---- The shared fixture folder -------------------------------------------------------

TEST(SharedModules, EveryModuleOpensWithTheIndexedTitleAndOrders) {
    const std::string folder = std::string(MIRVANE_SHARED_FIXTURES) + "/modules";
    std::ifstream index(folder + "/INDEX.tsv");
    if (!index)
        GTEST_SKIP() << "no shared module folder at " << folder;
    std::string line;
    std::getline(index, line);
    // Columns by name, so the index may grow.
    std::vector<std::string> header;
    {
        std::stringstream ss(line);
        for (std::string col; std::getline(ss, col, '\t');)
            header.push_back(col);
    }
    auto column = [&](const char *name) {
        return size_t(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const size_t fileCol = column("file"), titleCol = column("title"), ordersCol = column("orders");
    ASSERT_LT(std::max({fileCol, titleCol, ordersCol}), header.size());
    int checked = 0;
    while (std::getline(index, line)) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        for (std::string col; std::getline(ss, col, '\t');)
            cols.push_back(col);
        if (cols.size() <= std::max({fileCol, titleCol, ordersCol}))
            continue;
        std::string title = cols[titleCol];
        if (title.size() >= 2 && title.front() == '\'' && title.back() == '\'')
            title = title.substr(1, title.size() - 2);
        SCOPED_TRACE(cols[fileCol]);
        const std::string path = folder + "/" + cols[fileCol];
        const HMUSIC h = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, 0x200 | BASS_STREAM_DECODE, 0);
        ASSERT_NE(h, 0u) << "error " << BASS_ErrorGetCode();
        EXPECT_EQ(BASS_MusicGetName(h), title);
        EXPECT_EQ(BASS_MusicGetLength(h, FALSE), DWORD(std::stoul(cols[ordersCol])));
        // Not a stream, whatever its bytes look like.
        EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
        std::vector<int16_t> pcm(4096);
        BASS_ChannelGetData(h, pcm.data(), 8192);
        BASS_MusicFree(h);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}
