// URL streams of the audio library against the scripted server: headers, metadata, status
// texts, bad addresses, hostile servers, redirects, drops, stalls and the end of a stream.
#include "radio_server.h"

#include "radio_support.h"

#include <mutex>

using namespace radiotest;

namespace {

// What the download callback and the metadata sync saw; written on library threads.
struct Seen {
    std::mutex m;
    std::vector<std::string> status; // --- protected by m
    size_t audioBytes = 0;           // --- protected by m
    bool ended = false;              // --- protected by m
    std::vector<std::string> metas;  // --- protected by m
    int endSyncs = 0;                // --- protected by m

    std::vector<std::string> statusCopy() {
        std::lock_guard<std::mutex> g(m);
        return status;
    }
    size_t count(const std::string &text) {
        const auto all = statusCopy();
        return size_t(std::count(all.begin(), all.end(), text));
    }
};

void onDownload(const void *buffer, DWORD length, void *user) {
    auto *s = static_cast<Seen *>(user);
    std::lock_guard<std::mutex> g(s->m);
    if (buffer && length == 0)
        s->status.emplace_back(static_cast<const char *>(buffer));
    else if (!buffer)
        s->ended = true;
    else
        s->audioBytes += length;
}

void onMeta(HSYNC, DWORD channel, DWORD data, void *user) {
    auto *s = static_cast<Seen *>(user);
    const char *text = BASS_StreamGetTags(channel, BASS_TAG_META);
    std::lock_guard<std::mutex> g(s->m);
    EXPECT_EQ(data, 0u);
    if (text)
        s->metas.emplace_back(text);
}

void onEnd(HSYNC, DWORD, DWORD, void *user) {
    auto *s = static_cast<Seen *>(user);
    std::lock_guard<std::mutex> g(s->m);
    ++s->endSyncs;
}

std::vector<std::string> headerLines(HSTREAM h) {
    std::vector<std::string> lines;
    const char *p = BASS_StreamGetTags(h, BASS_TAG_HTTP);
    while (p && *p) {
        lines.emplace_back(p);
        p += lines.back().size() + 1;
    }
    return lines;
}

constexpr DWORD kFlags = BASS_STREAM_META | BASS_STREAM_STATUS;

Reply station(std::vector<std::string> titles = {}, int metaInt = 8192) {
    Reply r;
    r.headers = {"icy-name:My Station", "icy-br:128", "content-type:audio/mpeg"};
    r.metaInt = metaInt;
    r.titles = std::move(titles);
    r.audio = Mp3();
    return r;
}

} // namespace

TEST(UrlStream, PlaysAnIcyStationWithHeadersStatusAndMetadata) {
    StartAudio();
    IcyServer server({station({"StreamTitle='First';", "StreamTitle='First';",
                               "StreamTitle='Second; part';StreamUrl='';"})});
    Seen seen;
    const HSTREAM h = BASS_StreamCreateURL(server.url().c_str(), 0, kFlags, onDownload, &seen);
    ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
    EXPECT_NE(server.request(0).find("Icy-MetaData: 1\r\n"), std::string::npos);
    EXPECT_EQ(seen.statusCopy(), std::vector<std::string>{"ICY 200 OK"});

    const auto lines = headerLines(h);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "ICY 200 OK");
    EXPECT_EQ(lines[1], "icy-name:My Station");
    EXPECT_EQ(lines[4], "icy-metaint:8192");
    const char *meta = BASS_StreamGetTags(h, BASS_TAG_META);
    ASSERT_NE(meta, nullptr);
    EXPECT_EQ(std::string(meta).rfind("StreamTitle='", 0), 0u);

    ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, onMeta, &seen), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> g(seen.m);
        return !seen.metas.empty() &&
               seen.metas.back() == "StreamTitle='Second; part';StreamUrl='';";
    }));
    EXPECT_TRUE(WaitFor([&] { return BASS_ChannelGetPosition(h) > 44100u; }));
    EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
    {
        std::lock_guard<std::mutex> g(seen.m);
        EXPECT_GT(seen.audioBytes, 12000u);
    }
    // A live stream has no length yet and cannot seek; a file stream has no tags.
    EXPECT_EQ(BASS_StreamGetLength(h), 0u);
    EXPECT_FALSE(BASS_ChannelSetPosition(h, 0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_EQ(BASS_StreamGetTags(h, 7), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    ASSERT_TRUE(BASS_StreamFree(h));
    EXPECT_EQ(BASS_StreamGetTags(h, BASS_TAG_HTTP), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

    // An Ogg Vorbis station plays the same way, as it comes, without a length.
    Reply ogg;
    ogg.status = "HTTP/1.0 200 OK";
    ogg.headers = {"Content-Type: application/ogg"};
    ogg.audio = readFile(std::string(MIRVANE_TEST_DATA) + "/audio/ogg_stereo_44100.ogg");
    ogg.audioBytes = ogg.audio.size();
    IcyServer oggServer({ogg});
    const HSTREAM v = BASS_StreamCreateURL(oggServer.url().c_str(), 0, kFlags, nullptr, nullptr);
    ASSERT_NE(v, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetLength(v), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(v, FALSE));
    EXPECT_TRUE(WaitFor([&] { return BASS_ChannelGetPosition(v) > 4410u; }));
    ASSERT_TRUE(BASS_StreamFree(v));
}

TEST(UrlStream, RefusesBadAddressesAndHostileServersWithTheirCodes) {
    StartAudio();
    const auto fails = [](const std::string &url, int code, Seen *seen = nullptr) {
        const HSTREAM h =
            BASS_StreamCreateURL(url.c_str(), 0, kFlags, seen ? onDownload : nullptr, seen);
        EXPECT_EQ(h, 0u) << url;
        EXPECT_EQ(BASS_ErrorGetCode(), code) << url;
        if (h)
            BASS_StreamFree(h);
    };
    fails("", BASS_ERROR_ILLPARAM);
    fails("ftp://127.0.0.1/x", BASS_ERROR_ILLPARAM);
    fails("file:///etc/passwd", BASS_ERROR_ILLPARAM);
    fails("http://127.0.0.1/a b", BASS_ERROR_ILLPARAM);
    fails("http://127.0.0.1/" + std::string(3000, 'a'), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_StreamCreateURL("http://127.0.0.1/", 5, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);

    int closedPort;
    {
        IcyServer gone({station()});
        closedPort = gone.port();
    }
    fails("http://127.0.0.1:" + std::to_string(closedPort) + "/", BASS_ERROR_FILEOPEN);

    Reply notFound;
    notFound.status = "HTTP/1.0 404 Not Found";
    {
        IcyServer s({notFound});
        Seen seen;
        fails(s.url(), BASS_ERROR_FILEOPEN, &seen);
        EXPECT_EQ(seen.count("HTTP/1.0 404 Not Found"), 1u);
    }
    Reply huge;
    huge.raw = "ICY 200 OK\r\n";
    for (int i = 0; i < 400; ++i)
        huge.raw += "x-junk-" + std::to_string(i) + ": " + std::string(60, 'j') + "\r\n";
    huge.raw += "\r\n" + Mp3();
    {
        IcyServer s({huge});
        fails(s.url(), BASS_ERROR_FORMAT);
    }
    Reply garbage;
    garbage.raw = std::string("\x01\x02\xff garbage\r\n\r\n", 15) + std::string(20000, 'g');
    {
        IcyServer s({garbage});
        fails(s.url(), BASS_ERROR_FILEOPEN);
    }
    Reply text = station();
    text.audio = "<html>" + std::string(30000, 'x') + "</html>";
    {
        IcyServer s({text});
        fails(s.url(), BASS_ERROR_FORMAT);
    }
    Reply loop;
    loop.status = "HTTP/1.1 302 Found";
    loop.headers = {"Location: /again", "Content-Length: 0"};
    {
        IcyServer s({loop});
        fails(s.url(), BASS_ERROR_FILEOPEN);
        EXPECT_LE(s.connections(), 6);
    }
    Reply toFtp = loop;
    toFtp.headers = {"Location: ftp://127.0.0.1/x", "Content-Length: 0"};
    {
        IcyServer s({toFtp});
        fails(s.url(), BASS_ERROR_FILEOPEN);
    }
    // One redirect is followed, and a metadata interval beyond the bound means no metadata.
    Reply moved = loop;
    moved.headers = {"Location: /real", "Content-Length: 0"};
    Reply hostile = station({"StreamTitle='never read';"}, 1 << 30);
    {
        IcyServer s({moved, hostile});
        const HSTREAM h = BASS_StreamCreateURL(s.url().c_str(), 0, kFlags, nullptr, nullptr);
        ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
        EXPECT_EQ(s.connections(), 2);
        EXPECT_NE(s.request(1).find("GET /real"), std::string::npos);
        EXPECT_EQ(BASS_StreamGetTags(h, BASS_TAG_META), nullptr);
        EXPECT_EQ(headerLines(h).at(0), "ICY 200 OK");
        BASS_StreamFree(h);
    }
    // The largest metadata block the format allows arrives whole.
    const std::string longTitle = "StreamTitle='" + std::string(4000, 'T') + "';";
    {
        IcyServer s({station({longTitle}, 1024)});
        const HSTREAM h = BASS_StreamCreateURL(s.url().c_str(), 0, kFlags, nullptr, nullptr);
        ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
        const char *meta = BASS_StreamGetTags(h, BASS_TAG_META);
        ASSERT_NE(meta, nullptr);
        EXPECT_EQ(std::string(meta), longTitle);
        BASS_StreamFree(h);
    }
}

TEST(UrlStream, ReconnectsAfterDropAndStallKeepingTheTitleThenEnds) {
    StartAudio();
    Reply drop = station({"StreamTitle='Kept';"});
    drop.audioBytes = 20000;
    Reply stall = station({}, 0);
    stall.audioBytes = 20000;
    stall.end = Reply::Stall;
    Reply live = station({}, 0);
    {
        IcyServer s({drop, stall, live});
        Seen seen;
        const HSTREAM h = BASS_StreamCreateURL(s.url().c_str(), 0, kFlags, onDownload, &seen);
        ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
        EXPECT_TRUE(WaitFor([&] { return s.connections() >= 3; }));
        EXPECT_TRUE(WaitFor([&] { return seen.count("ICY 200 OK") >= 3; }));
        EXPECT_EQ(seen.count("Reconnecting\xE2\x80\xA6"), 2u);
        EXPECT_NE(s.request(2).find("Icy-MetaData: 1"), std::string::npos);
        const char *meta = BASS_StreamGetTags(h, BASS_TAG_META);
        ASSERT_NE(meta, nullptr);
        EXPECT_EQ(std::string(meta), "StreamTitle='Kept';");
        // Still playing after the third connection: more is heard than the first two gave.
        EXPECT_TRUE(WaitFor([&] { return BASS_ChannelGetPosition(h) > 3 * 44100 * 4u; }, 6000));
        EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_PLAYING));
        BASS_StreamFree(h);
    }
    // Without reconnects, a dropped stream plays out what it has and ends.
    BASS_SetConfig(BASS_CONFIG_NET_RECONNECTS, 0);
    {
        IcyServer s({drop});
        Seen seen;
        const HSTREAM h = BASS_StreamCreateURL(s.url().c_str(), 0, kFlags, onDownload, &seen);
        BASS_SetConfig(BASS_CONFIG_NET_RECONNECTS, 5);
        ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
        ASSERT_NE(BASS_ChannelSetSync(h, BASS_SYNC_END, 0, onEnd, &seen), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
        EXPECT_TRUE(WaitFor([&] {
            std::lock_guard<std::mutex> g(seen.m);
            return seen.endSyncs == 1 && seen.ended;
        }));
        EXPECT_EQ(BASS_ChannelIsActive(h), DWORD(BASS_ACTIVE_STOPPED));
        EXPECT_GT(BASS_StreamGetLength(h), 0u);
        EXPECT_EQ(s.connections(), 1);
        BASS_StreamFree(h);
    }
    BASS_SetConfig(BASS_CONFIG_NET_RECONNECTS, 5);
    EXPECT_FALSE(BASS_SetConfig(12345, 1));
}
