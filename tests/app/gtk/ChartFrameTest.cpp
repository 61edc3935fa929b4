#include <gtest/gtest.h>

#include <vector>

#include "ChartFrame.hpp"

namespace sapwell {
namespace {

std::vector<ChartFrame> readAll(FrameReader& reader) {
    std::vector<ChartFrame> frames;
    while (auto frame = reader.next()) frames.push_back(std::move(*frame));
    return frames;
}

// Whatever pieces the socket hands over, the same frames come out, bodies byte for byte.
TEST(ChartFrame, FramesSurviveAnySplitOfTheStream) {
    const std::vector<ChartFrame> sent = {
        {ChartFrame::hide, ""},
        {ChartFrame::page, std::string("<p>\0\xff\n</p>", 10)},
        {ChartFrame::message, "/usr/share/applications/\xe2\x80\x8b x.desktop"},
        {ChartFrame::page, std::string(300000, 'x')},  // longer than one read
        {ChartFrame::show, "Sapwell \xe2\x80\x94 CPU Activity"},
    };
    std::string stream;
    for (const auto& frame : sent) stream += encodeFrame(frame.kind, frame.body);
    for (std::size_t piece : {std::size_t{1}, std::size_t{4}, std::size_t{5}, std::size_t{4093},
                              stream.size()}) {
        FrameReader reader;
        std::vector<ChartFrame> got;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.feed(std::string_view(stream).substr(at, piece));
            for (auto& frame : readAll(reader)) got.push_back(std::move(frame));
        }
        EXPECT_EQ(got, sent) << "pieces of " << piece;
        EXPECT_FALSE(reader.broken());
    }
}

// A length over the limit is refused before anything is waited for or kept, and the reader
// takes nothing more; one at the limit is waited for.
TEST(ChartFrame, AnOversizeFrameBreaksTheStream) {
    const auto header = [](std::uint32_t n) {
        return std::string{'P', char(n >> 24), char(n >> 16 & 0xff), char(n >> 8 & 0xff),
                           char(n & 0xff)};
    };
    const std::pair<std::uint32_t, bool> cases[] = {
        {chartFrameLimit, false}, {chartFrameLimit + 1, true}, {0xffffffff, true}};
    for (const auto& [length, broken] : cases) {
        FrameReader reader;
        reader.feed(encodeFrame(ChartFrame::hide, ""));
        reader.feed(header(length) + "abc");
        EXPECT_EQ(readAll(reader), (std::vector<ChartFrame>{{ChartFrame::hide, ""}})) << length;
        EXPECT_EQ(reader.broken(), broken) << length;
        reader.feed(encodeFrame(ChartFrame::hide, ""));
        EXPECT_FALSE(reader.next()) << length;
    }
}

TEST(ChartFrame, PlaceIsFourWholeNumbersWithAPositiveSize) {
    const std::pair<const char*, std::optional<WindowPlace>> cases[] = {
        {"140 60 1000 680", WindowPlace{140, 60, 1000, 680}},
        {"-20 -5 1 1", WindowPlace{-20, -5, 1, 1}},  // partly off screen on the left
        {"", std::nullopt},
        {"1 2 3", std::nullopt},
        {"1 2 3 4 ", std::nullopt},
        {"1  2 3 4", std::nullopt},
        {"1 2 0 4", std::nullopt},
        {"1 2 3 -4", std::nullopt},
        {"1 2 3 4x", std::nullopt},
        {"1 2 3 99999999999", std::nullopt},
    };
    for (const auto& [text, place] : cases) {
        EXPECT_EQ(parsePlace(text), place) << '"' << text << '"';
        if (place) {
            EXPECT_EQ(placeText(*place), text);
        }
    }
}

}  // namespace
}  // namespace sapwell
