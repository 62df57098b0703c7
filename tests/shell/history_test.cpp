// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The kept history without a window: round trips of awkward inputs, files that must give
// an empty history instead of an error, and where the file lives.
#include "shell/history.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

#include "shell/settings.h"
#include "tests/temp_dir.h"

namespace fs = std::filesystem;

using namespace nerova;  // the code under test

namespace {

class HistoryFileTest : public ::testing::Test {
protected:
    void put(const std::string& bytes) {
        fs::create_directories(fs::path(path_).parent_path());
        std::ofstream(path_, std::ios::binary) << bytes;
    }

    const test::TempDir temp_{"nerova-history"};
    const fs::path& dir_ = temp_.path();
    const std::string path_ = (dir_ / "state" / "nerova" / "history").string();
};

TEST_F(HistoryFileTest, SavedInputsComeBackInOrderWithTheirBytes) {
    const std::vector<std::string> entries = {
        "1/3+1/6", "",  // an empty input is an input
        "a\\nb\\\\", "line\nbreak\r\n", std::string(100000, '7'), "０．[３]ー",
    };
    nerova::saveHistory(path_, entries);  // the folders are made on the way
    EXPECT_EQ(nerova::loadHistory(path_, 10), entries);
    EXPECT_EQ(nerova::loadHistory(path_, 2), (std::vector<std::string>{"1/3+1/6", ""}));
    nerova::saveHistory(path_, {"2"});  // replaces, does not append
    EXPECT_EQ(nerova::loadHistory(path_, 10), std::vector<std::string>{"2"});
    nerova::forgetHistory(path_);
    EXPECT_FALSE(fs::exists(path_));
    nerova::forgetHistory(path_);  // twice is fine
}

TEST_F(HistoryFileTest, MissingOrBrokenFileGivesAnEmptyHistory) {
    const char* broken[] = {
        "",                                   // empty
        "1/2\n",                              // no header: some other file
        "# nerova history 1\n1/2",            // cut short before the line end
        "# nerova history 1\nbad\\q\n",       // unknown escape
        "# nerova history 1\nends\\\n",       // escape cut off
        "# nerova history 2\n1/2\n",          // a later format
    };
    EXPECT_TRUE(nerova::loadHistory(path_, 10).empty());  // no file, no folder
    for (const char* bytes : broken) {
        put(bytes);
        EXPECT_TRUE(nerova::loadHistory(path_, 10).empty()) << bytes;
    }
    put(std::string("# nerova history 1\na\0b\n", 23));
    EXPECT_TRUE(nerova::loadHistory(path_, 10).empty()) << "NUL";
    fs::remove(path_);
    fs::create_directories(path_);  // a folder where the file should be
    EXPECT_TRUE(nerova::loadHistory(path_, 10).empty());
    EXPECT_THROW(nerova::saveHistory(path_, {"1"}), std::runtime_error);
}

TEST_F(HistoryFileTest, UnwritableFolderThrowsTheWriteMessage) {
    put("x");
    const std::string under = path_ + "/history";  // a file where a folder is needed
    try {
        nerova::saveHistory(under, {"1"});
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), under + " に書き込めません");
    }
}

// A save killed with SIGKILL leaves its temporary ("history.tmp-PID-N"); the next save
// removes those of processes that are gone, and no other file.
TEST_F(HistoryFileTest, TemporariesOfKilledSavesAreRemovedAtTheNextSave) {
    const pid_t child = fork();  // a process id that is surely gone: ended and reaped
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const fs::path folder = fs::path(path_).parent_path();
    put("");
    const struct {
        std::string file;
        bool removed;
    } rows[] = {
        {"history.tmp-" + dead + "-0", true},
        {"history.tmp-" + dead + "-3", true},
        {"history.tmp-" + std::to_string(getppid()) + "-0", false},  // a live process saving
        {"notes.tmp-" + dead + "-0", false},                         // another file's
    };
    for (const auto& row : rows) std::ofstream(folder / row.file) << "half-written";
    saveHistory(path_, {"1+1"});
    for (const auto& row : rows) EXPECT_EQ(fs::exists(folder / row.file), !row.removed) << row.file;
    EXPECT_EQ(loadHistory(path_, 10), std::vector<std::string>{"1+1"});
}

TEST(HistoryPathTest, StateFolderAndProgramName) {
    const char* oldXdg = std::getenv("XDG_STATE_HOME");
    const std::string saved = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome ? oldHome : "";

    setenv("XDG_STATE_HOME", "/st//", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(nerova::historyPath("/usr/bin/nerova"), "/st/nerova/history");
    EXPECT_EQ(nerova::historyPath("/opt/calc2"), "/st/calc2/history");  // a renamed copy
    setenv("XDG_STATE_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(nerova::historyPath("nerova"), "/home/u/.local/state/nerova/history");
    unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(nerova::historyPath("/usr/bin/nerova"), "/home/u/.local/state/nerova/history");

    if (oldXdg) setenv("XDG_STATE_HOME", saved.c_str(), 1); else unsetenv("XDG_STATE_HOME");
    if (oldHome) setenv("HOME", savedHome.c_str(), 1); else unsetenv("HOME");
}

TEST_F(HistoryFileTest, SettingKeepsItsValueInItsOwnSection) {
    const std::string ini = (dir_ / "nerova.ini").string();
    FormSettings s;
    EXPECT_TRUE(s.keepHistory);  // on until the user turns it off
    s.keepHistory = false;
    writeSettings(ini, s);
    std::ifstream in(ini);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("[History]\nsave=0\n"), std::string::npos) << text;
    FormSettings back;
    readSettings(ini, back);
    EXPECT_FALSE(back.keepHistory);
}

}  // namespace
