// The pure parts of the radio: station texts from headers and metadata, their charset, and the
// station file.
#include "radio/icy_text.h"
#include "radio/station_file.h"

#include <gtest/gtest.h>

using namespace mirvane::radio;

TEST(StreamTitle, QuotedValueKeepsSemicolonsAndQuotesInside) {
    EXPECT_EQ(ParseStreamTitle("StreamTitle='Artist - Song';StreamUrl='';"), "Artist - Song");
    EXPECT_EQ(ParseStreamTitle("StreamTitle='Artist; Song';"), "Artist; Song");
    EXPECT_EQ(ParseStreamTitle("StreamTitle='A;B';"), "A;B");
    EXPECT_EQ(ParseStreamTitle("StreamTitle='Guns N' Roses - X';"), "Guns N' Roses - X");
    EXPECT_EQ(ParseStreamTitle("StreamUrl='x';StreamTitle='y';"), "y");
    EXPECT_EQ(ParseStreamTitle("StreamTitle=\"Double\";"), "Double");
    EXPECT_EQ(ParseStreamTitle("StreamTitle='';"), "");
    EXPECT_EQ(ParseStreamTitle("StreamTitle=Bare;rest"), "Bare");
    EXPECT_EQ(ParseStreamTitle("StreamTitle='never closed"), "never closed");
    EXPECT_EQ(ParseStreamTitle("StreamTitle="), "");
    EXPECT_FALSE(ParseStreamTitle("StreamUrl='x';").has_value()); // changes nothing
    EXPECT_FALSE(ParseStreamTitle(QByteArray()).has_value());
}

TEST(StationHeaders, NameAndBitRateFromExactLowerCaseNames) {
    const char tags[] = "ICY 200 OK\0icy-name:My Station\0icy-br:128\0content-type:audio/mpeg\0"
                        "ICY-NAME:X\0\0icy-name:after the end\0";
    auto h = ParseStationHeaders(tags, sizeof tags);
    EXPECT_EQ(h.name.value_or("-"), "My Station");
    EXPECT_EQ(h.bitrate.value_or("-"), "128");

    const char blank[] = "icy-name: Spaced\0\0";
    h = ParseStationHeaders(blank, sizeof blank);
    EXPECT_EQ(h.name.value_or("-"), " Spaced"); // the rest is taken unchanged
    EXPECT_FALSE(h.bitrate.has_value());
    EXPECT_FALSE(ParseStationHeaders(nullptr, 0).name.has_value());
    const char unended[] = {'i', 'c', 'y', '-', 'b', 'r', ':', '6', '4'};
    EXPECT_EQ(ParseStationHeaders(unended, sizeof unended).bitrate.value_or("-"), "64");
}

TEST(StationText, Utf8FirstThenTheLikelierLegacyCodePage) {
    EXPECT_EQ(DecodeStationText("Motörhead – Ace"), QString::fromUtf8("Motörhead – Ace"));
    // "Кино - Группа крови" in Windows-1251.
    EXPECT_EQ(DecodeStationText("\xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 \xEA\xF0\xEE\xE2\xE8"),
              QString::fromUtf8("Кино - Группа крови"));
    // "Café Déjà Vu" in Windows-1252.
    EXPECT_EQ(DecodeStationText("Caf\xE9 D\xE9j\xE0 Vu"), QString::fromUtf8("Café Déjà Vu"));
    EXPECT_EQ(DecodeStationText("\x93Quoted\x94"), QString::fromUtf8("“Quoted”"));
    EXPECT_EQ(DecodeStationText("plain"), "plain");
    EXPECT_EQ(DecodeStationText("\xC0\x80"), QString::fromUtf8("À€")); // overlong: not UTF-8
}

TEST(StationFile, ReadsSectionsAndRewritesOnlyWhatChanged) {
    const QByteArray file = "; my stations\r\n"
                            "[Jazz]\r\nBitrate=128\r\nURL=http://a/\r\n; keep me\r\n"
                            "[Empty]\r\n"
                            "[Rock]\r\nURL=http://r/\r\nExtra=1\r\n";
    auto stations = ReadStations(file);
    ASSERT_EQ(stations.size(), 3u);
    EXPECT_EQ(stations[0].name, "Jazz");
    EXPECT_EQ(stations[0].bitrate, "128");
    EXPECT_EQ(stations[0].url, "http://a/");
    EXPECT_EQ(stations[1].bitrate, "");
    EXPECT_EQ(stations[1].url, "");

    stations.erase(stations.begin() + 1);                              // remove "Empty"
    stations.push_back({"http://new:8000/", "?", "http://new:8000/"}); // add one
    const QByteArray out = RenderStations(file, stations);
    EXPECT_EQ(out, "; my stations\r\n"
                   "[Jazz]\r\nBitrate=128\r\nURL=http://a/\r\n; keep me\r\n"
                   "[Rock]\r\nURL=http://r/\r\nExtra=1\r\n"
                   "[http://new:8000/]\r\nBitrate=?\r\nURL=http://new:8000/\r\n");
    EXPECT_EQ(ReadStations(out).size(), 3u);
    EXPECT_EQ(RenderStations("[A]\nURL=x", {{"A", "", "x"}, {"B", "?", "y"}}),
              "[A]\nURL=x\n[B]\nBitrate=?\nURL=y\n");
    // A name with brackets of its own (an IPv6 address) keeps its section and the user's keys.
    const QByteArray v6 = "[http://[::1]:8000/]\nURL=http://[::1]:8000/\nMine=1\n[C]\nURL=z\n";
    EXPECT_EQ(RenderStations(v6, ReadStations(v6)), v6);

    EXPECT_TRUE(IsStationAddress("http://127.0.0.1:8000/stream"));
    EXPECT_TRUE(IsStationAddress("HTTPS://host/"));
    EXPECT_FALSE(IsStationAddress(""));
    EXPECT_FALSE(IsStationAddress("http://"));
    EXPECT_FALSE(IsStationAddress("ftp://host/"));
    EXPECT_FALSE(IsStationAddress("file:///etc/passwd"));
    EXPECT_FALSE(IsStationAddress("http://host/a b"));
    EXPECT_FALSE(IsStationAddress("http://host/\n[x]"));
    EXPECT_FALSE(IsStationAddress("http://host/" + QString(2048, 'a')));
}
