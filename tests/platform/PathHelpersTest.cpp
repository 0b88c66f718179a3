// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "platform/PathHelpers.h"

using namespace sonarel;

TEST(PathHelpers, FolderAndTailOnSlashPaths)
{
    EXPECT_EQ(FolderOfPath("/home/ann/song.mp3"), "/home/ann/");
    EXPECT_EQ(TailFromLastBackslash("/home/ann/song.mp3"), "/song.mp3");
    EXPECT_EQ(FolderOfPath("/song.mp3"), "/");
    EXPECT_EQ(TailFromLastBackslash("/song.mp3"), "/song.mp3");
    EXPECT_EQ(FolderOfPath("/"), "/");
    EXPECT_EQ(TailFromLastBackslash("/"), "/");
    EXPECT_EQ(FolderOfPath("song.mp3"), "");
    EXPECT_EQ(TailFromLastBackslash("song.mp3"), "");
    EXPECT_EQ(FolderOfPath(""), "");
    EXPECT_EQ(FolderOfPath("/music/"), "/music/");
    EXPECT_EQ(TailFromLastBackslash("/music/"), "/");
}

TEST(PathHelpers, JoiningNeverDoublesTheSeparator)
{
    EXPECT_EQ(joinPath("/", "name.wav"), "/name.wav");
    EXPECT_EQ(joinPath("/", "/name.wav"), "/name.wav");
    EXPECT_EQ(joinPath("/home/ann", "/audio_mix.wav"), "/home/ann/audio_mix.wav");
    EXPECT_EQ(joinPath("/home/ann/", "a.wav"), "/home/ann/a.wav");
    EXPECT_EQ(joinPath("", "a.wav"), "a.wav");
    EXPECT_EQ(fileNameOfPath("/a/b/c.flac"), "c.flac");
}
