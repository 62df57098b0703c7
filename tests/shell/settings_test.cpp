// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Nerova developers
// The settings file without a window: value formats, round trips, what is kept of a
// file written by hand, and writes that must fail without damage.
#include "shell/settings.h"
#include "shell/programfile.h"
#include "tests/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include <functional>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

using namespace nerova;  // the code under test

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void put(const std::string& bytes) { put(path_, bytes); }
    static void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string get() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // Entries of the folder other than the settings file: leftovers of a write.
    int strayFiles() const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir_)) n += e.path() != path_;
        return n;
    }

    const test::TempDir temp_{"nerova-settings"};
    const fs::path& dir_ = temp_.path();
    const std::string path_ = (dir_ / "nerova.ini").string();
};

// Non-empty lines, so that the blank lines between sections do not matter.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

bool sameSettings(const FormSettings& a, const FormSettings& b) {
    return a.top == b.top && a.left == b.left && a.width == b.width &&
           a.height == b.height && a.junkan == b.junkan && a.fontName == b.fontName &&
           a.fontSize == b.fontSize && a.fontColor == b.fontColor && a.keepHistory == b.keepHistory;
}

TEST(ParseProfileIntTest, Formats) {
    struct Row {
        const char* text;
        std::optional<int32_t> value;
    } rows[] = {
        {"440", 440},
        {"-1", -1},
        {"+5", 5},            // an explicit plus sign is a sign, not a stray byte
        {" 7 ", 7},           // blanks around a value are not part of it
        {"0x20", 32},
        {"0X20", 32},
        {"$20", 32},
        {"$ff", 255},         // hexadecimal digits in either case
        {"-$10", -16},
        {"$80000008", -2147483640},   // the system-colour form read back as hexadecimal
        {"0x80000008", -2147483640},
        {"$FFFFFFFF", -1},    // hexadecimal is a 32-bit pattern
        {"$100000000", std::nullopt},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},  // decimal beyond 32 bits is not a value
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},  // two characters only: not a hexadecimal prefix
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"1 2", std::nullopt},
        {"0x-5", std::nullopt},
        {"1.5", std::nullopt},
    };
    for (const Row& r : rows) EXPECT_EQ(parseProfileInt(r.text), r.value) << '"' << r.text << '"';
}

TEST_F(SettingsFileTest, RoundTripKeepsEveryField) {
    FormSettings out;
    out.top = -20;  // a window on a screen left of or above the primary one
    out.left = -1300;
    out.width = 700;
    out.height = 250;
    out.junkan = false;
    out.fontName = "IPAゴシック";
    out.fontSize = 16;
    out.fontColor = 0x00123456;
    writeSettings(path_, out);
    FormSettings in;
    readSettings(path_, in);
    EXPECT_TRUE(sameSettings(in, out));

    // And the defaults, whose colour is the negative system-colour value.
    FormSettings defaults;
    defaults.fontName = "ＭＳ ゴシック";
    writeSettings(path_, defaults);
    FormSettings back = out;
    readSettings(path_, back);
    EXPECT_TRUE(sameSettings(back, defaults));
}

// The design's eight keys, then the kept history's own section.
TEST_F(SettingsFileTest, DesignStateWritesItsKeysInOrder) {
    FormSettings s;
    s.fontName = "ＭＳ ゴシック";
    writeSettings(path_, s);
    std::vector<std::string> expected = {
        "[FORM]", "top=440", "left=269", "width=425", "height=196", "junkan=1",
        "[Font]", "name=ＭＳ ゴシック", "size=11", "color=-2147483640",
        "[History]", "save=1"};
    EXPECT_EQ(lines(get()), expected);
}

TEST_F(SettingsFileTest, MissingFileKeepsCurrentValues) {
    FormSettings s;
    s.top = 5;
    s.fontName = "x";
    FormSettings before = s;
    readSettings(path_, s);
    readSettings("", s);
    readSettings(dir_.string(), s);  // a folder, not a file
    EXPECT_TRUE(sameSettings(s, before));
}

TEST_F(SettingsFileTest, HexadecimalAndBadValues) {
    put("[FORM]\ntop=0x20\nleft=$20\nwidth=abc\nheight=\n[Font]\nsize=0XA\ncolor=$0000FF\n");
    FormSettings s;
    readSettings(path_, s);
    EXPECT_EQ(s.top, 32);
    EXPECT_EQ(s.left, 32);
    EXPECT_EQ(s.width, 425);   // not an integer: the current value stays
    EXPECT_EQ(s.height, 196);  // empty: likewise
    EXPECT_EQ(s.fontSize, 10);
    EXPECT_EQ(s.fontColor, 0xFF);
}

TEST_F(SettingsFileTest, JunkanIsOnWhenNotZero) {
    struct Row {
        const char* value;
        bool before;
        bool after;
    } rows[] = {
        {"0", true, false},
        {"1", false, true},
        {"2", false, true},   // any non-zero integer is on
        {"-1", false, true},
        {"$0", true, false},
        {"abc", true, true},  // unreadable: the current state stays, either way
        {"abc", false, false},
        {"", false, false},
    };
    for (const Row& r : rows) {
        put(std::string("[FORM]\njunkan=") + r.value + "\n");
        FormSettings s;
        s.junkan = r.before;
        readSettings(path_, s);
        EXPECT_EQ(s.junkan, r.after) << "junkan=" << r.value << " from " << r.before;
    }
}

TEST_F(SettingsFileTest, NamesIgnoreCaseAndAreNotDuplicated) {
    put("[form]\nTOP=12\n[FONT]\nNAME=Serif\n");
    FormSettings s;
    readSettings(path_, s);
    EXPECT_EQ(s.top, 12);
    EXPECT_EQ(s.fontName, "Serif");

    s.top = 13;
    writeSettings(path_, s);
    int tops = 0, forms = 0;
    for (std::string line : lines(get())) {
        for (char& c : line) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        tops += line.rfind("top=", 0) == 0;
        forms += line == "[form]";
    }
    EXPECT_EQ(tops, 1);
    EXPECT_EQ(forms, 1);
    FormSettings back;
    readSettings(path_, back);
    EXPECT_EQ(back.top, 13);
}

TEST_F(SettingsFileTest, WriteKeepsOtherSectionsKeysAndComments) {
    put("; written by hand\n\n[Other]\nx=y\n[FORM]\n; where the window goes\ntop=1\n"
        "extra=keep me\n[Font]\nname=A\n; the end\n");
    FormSettings s;
    s.top = 77;
    writeSettings(path_, s);
    std::string text = get();
    for (const char* kept : {"; written by hand", "[Other]", "x=y", "; where the window goes",
                             "extra=keep me", "; the end", "top=77"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in\n" << text;
    EXPECT_EQ(text.find("top=1\n"), std::string::npos);
    // A second write neither duplicates nor loses anything.
    writeSettings(path_, s);
    EXPECT_EQ(get(), text);
}

TEST_F(SettingsFileTest, ACarriageReturnInAClosingCommentStartsALine) {
    // The reader ends lines at CR as well: "name=B" is a key of [Other], not part of a
    // comment, and must not become the font's name once [Font] is written before it.
    put("[Other]\n; note\rname=B\n; the end\r\n");
    FormSettings s;
    readSettings(path_, s);
    EXPECT_EQ(s.fontName, "");
    writeSettings(path_, s);
    FormSettings back;
    readSettings(path_, back);
    EXPECT_EQ(back.fontName, "");
    EXPECT_NE(get().find("; the end"), std::string::npos);
}

TEST_F(SettingsFileTest, WriteCreatesFolderAndKeepsMode) {
    std::string nested = (dir_ / "a" / "b" / "nerova.ini").string();
    writeSettings(nested, FormSettings{});
    EXPECT_TRUE(fs::is_regular_file(nested));

    put("[FORM]\ntop=1\n");
    ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
    writeSettings(path_, FormSettings{});
    struct stat st {};
    ASSERT_EQ(stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(strayFiles(), 1);  // the folder "a" and nothing else: no temporary left
}

TEST_F(SettingsFileTest, TemporaryLeftByACrashDoesNotStopTheWrite) {
    // The first temporary names this process would try, as a crashed run with the same
    // process id would have left them.
    for (int n = 0; n < 10; ++n)
        put(path_ + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(n), "stale");
    FormSettings s;
    s.top = 4;
    writeSettings(path_, s);
    FormSettings back;
    readSettings(path_, back);
    EXPECT_EQ(back.top, 4);
}

TEST_F(SettingsFileTest, TemporariesOfKilledRunsAreRemovedAtTheNextSave) {
    // A process id that is surely gone: a child that has ended and been reaped.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    const std::string dead = std::to_string(child);
    const std::string name = fs::path(path_).filename().string();
    const struct {
        std::string file;
        bool removed;
    } rows[] = {
        {name + ".tmp-" + dead + "-0", true},
        {name + ".tmp-" + dead + "-17", true},
        {name + ".tmp-" + std::to_string(getppid()) + "-0", false},  // a live process saving
        {name + ".tmp-" + dead + "-x", false},                       // not a name we make
        {name + ".tmp-" + dead, false},
        {"other.ini.tmp-" + dead + "-0", false},                     // another file's
    };
    for (const auto& row : rows) put((dir_ / row.file).string(), "half-written");
    writeSettings(path_, FormSettings{});
    for (const auto& row : rows)
        EXPECT_EQ(fs::exists(dir_ / row.file), !row.removed) << row.file;
}

TEST_F(SettingsFileTest, MaxDigitsIsReadAndKeptOnSave) {
    const struct {
        const char* value;
        int64_t expected;
    } rows[] = {
        {"5000000000", 5000000000},  // beyond 32 bits
        {" 100 ", 100},
        {"0", 0}, {"-5", 0}, {"1e6", 0}, {"", 0},  // not a budget: the machine's default
    };
    for (const auto& row : rows) {
        put(std::string("[Calc]\nMaxDigits=") + row.value + "\n");
        FormSettings s;
        readSettings(path_, s);
        EXPECT_EQ(s.maxDigits, row.expected) << row.value;
    }
    put("[Calc]\nMaxDigits=123456\n");
    FormSettings s;
    s.maxDigits = 99;
    writeSettings(path_, s);
    FormSettings back;
    readSettings(path_, back);
    EXPECT_EQ(back.maxDigits, 123456);  // the user's key, not the running value
}

// A link to another file of the user's (here a copy of a password file, whose lines hold
// no "="): the save replaces the link with the program's own file and never writes
// through it, so the target keeps every byte.
TEST_F(SettingsFileTest, ASymbolicLinkIsReplacedAndItsTargetLeftAlone) {
    std::string passwd;
    for (int i = 0; i < 24; ++i)
        passwd += "user" + std::to_string(i) + ":x:" + std::to_string(1000 + i) + ":100::/home/u:/bin/sh\n";
    const std::string real = (dir_ / "passwd").string();
    put(real, passwd);
    const std::string link = (dir_ / "link.ini").string();
    fs::create_symlink(real, link);
    FormSettings s;
    s.top = 9;
    writeSettings(link, s);
    std::ifstream in(real, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), passwd);
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_regular_file(link));
    FormSettings back;
    readSettings(link, back);
    EXPECT_EQ(back.top, 9);
    // The program's file holds its own keys only: nothing of the target was taken over.
    std::ifstream written(link, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text.find("user"), std::string::npos) << text;
}

// Lines the reader does not understand stay where they were, byte for byte: text without
// "=", a broken section header, comments, unknown keys and sections, CR LF line ends and
// a last line without its end. Only the lines of the program's own keys change.
TEST_F(SettingsFileTest, LinesTheReaderDoesNotUnderstandAreKept) {
    const std::string before =
        "hello world\r\n[FORM]\r\ntop=1\r\n  just words here\r\n[broken\r\nwidth=3\r\n"
        "# hash comment\r\n[Mine]\r\nk = v \r\n\x01\x02 binary\r\n[Font]\r\nname=A\r\nno end";
    put(before);
    FormSettings s;
    readSettings(path_, s);
    EXPECT_EQ(s.top, 1);
    EXPECT_EQ(s.width, 3);  // "[broken" opens no section: width is still in [FORM]
    s.top = 50;
    writeSettings(path_, s);
    const std::string after = get();
    for (const char* kept : {"hello world\r\n[FORM]\r\ntop=50\r\n  just words here\r\n[broken\r\nwidth=3\r\n",
                             "# hash comment\r\n[Mine]\r\nk = v \r\n\x01\x02 binary\r\n[Font]\r\nname=A\r\n",
                             "no end\r\n"})
        EXPECT_NE(after.find(kept), std::string::npos) << kept << " in\n" << after;
    FormSettings back;
    readSettings(path_, back);
    EXPECT_TRUE(sameSettings(back, s));
    writeSettings(path_, s);
    EXPECT_EQ(get(), after);  // a second save changes nothing
}

// A key added to a section whose last line is the file's last, without a line end, goes
// on a line of its own (found by the fuzzer: "left=2" then "top=..." on one line).
TEST_F(SettingsFileTest, AKeyAddedAfterALastLineWithoutEndIsALineOfItsOwn) {
    for (const char* before : {"[FORM]\nleft=2", "[FORM]\r\nleft=2", "[FORM]"}) {
        put(before);
        FormSettings s;
        readSettings(path_, s);
        s.top = 50;
        writeSettings(path_, s);
        FormSettings back;
        readSettings(path_, back);
        EXPECT_TRUE(sameSettings(back, s)) << before << " became\n" << get();
    }
}

// The reader takes at most kMaxSettingsBytes: a bigger file is broken. It is not read
// (the values stay as they were, false tells the caller to say so), and not overwritten.
TEST_F(SettingsFileTest, AFileOverTheCapIsNeitherReadNorOverwritten) {
    const std::string head = "[FORM]\ntop=5\n;";
    for (const size_t size : {kMaxSettingsBytes, kMaxSettingsBytes + 1}) {
        const bool fits = size <= kMaxSettingsBytes;
        const std::string before = head + std::string(size - head.size() - 1, 'x') + "\n";
        put(before);
        FormSettings s;
        EXPECT_EQ(readSettings(path_, s), fits) << size;
        EXPECT_EQ(s.top, fits ? 5 : FormSettings{}.top) << size;
        s.top = 6;
        writeSettings(path_, s);
        const std::string after = get();
        if (fits) {
            EXPECT_NE(after.find("top=6"), std::string::npos);
        } else {
            EXPECT_EQ(after, before);
        }
    }
}

TEST_F(SettingsFileTest, FailedWriteThrowsPathMessage) {
    // A "folder" that is a regular file stops the write for every user, root included.
    put(dir_.string() + "/notafolder", "x");
    std::string path = dir_.string() + "/notafolder/nerova.ini";
    try {
        writeSettings(path, FormSettings{});
        FAIL() << "write into a file's path succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), (path + " に書き込めません").c_str());
    }
}

// Permission bits do not stop root (tests run as root in CI): there, check runs in a
// child process that has given up root for an unprivileged user. True when check was true.
bool asUnprivileged(const std::function<bool()>& check) {
    if (geteuid() != 0) return check();
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        const uid_t nobody = 65534;
        bool ok = setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0 &&
                  geteuid() == nobody && check();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The message of the error that writeSettings(path) throws; empty when it succeeds.
std::string writeFailure(const std::string& path) {
    try {
        writeSettings(path, FormSettings{});
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return {};
}

// Each row makes the folder or the file read-only, or the file unreadable: the write is
// refused with the path's message, and the file and folder stay exactly as they were
// (a folder that refuses new files cannot take the temporary of an atomic write, even
// when the file itself may be written).
TEST_F(SettingsFileTest, ReadOnlyOrUnreadableIsRefusedAndLeftIntact) {
    struct Row {
        mode_t folder, file;
        const char* why;
    } rows[] = {
        {0555, 0666, "read-only folder, writable file"},
        {0755, 0444, "read-only file"},
        {0755, 0222, "unreadable file: its other contents would be lost"},
    };
    const std::string before = "[FORM]\ntop=1\n[Mine]\nk=v\n";
    for (const Row& r : rows) {
        put(before);
        ASSERT_EQ(chmod(path_.c_str(), r.file), 0);
        ASSERT_EQ(chmod(dir_.c_str(), r.folder), 0);
        const std::string expected = path_ + " に書き込めません";
        EXPECT_TRUE(asUnprivileged([&] { return writeFailure(path_) == expected; })) << r.why;
        ASSERT_EQ(chmod(dir_.c_str(), 0700), 0);
        ASSERT_EQ(chmod(path_.c_str(), 0600), 0);
        EXPECT_EQ(get(), before) << r.why;
        EXPECT_EQ(strayFiles(), 0) << r.why;
    }
    // The check itself can succeed: a writable file in a writable folder is written.
    ASSERT_EQ(chmod(dir_.c_str(), 0777), 0);
    ASSERT_EQ(chmod(path_.c_str(), 0666), 0);
    EXPECT_TRUE(asUnprivileged([&] { return writeFailure(path_).empty(); }));
    EXPECT_NE(get(), before);
}

TEST_F(SettingsFileTest, CorruptedFilesNeverStopReading) {
    const FormSettings start;
    // Random bytes of many lengths: nothing can be read, nothing may crash.
    std::mt19937 rng(20261207);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(rng() % 4000, '\0');
        for (char& c : bytes) c = static_cast<char>(rng() % 256);
        put(bytes);
        FormSettings s = start;
        readSettings(path_, s);
        writeSettings(path_, s);  // and a write over garbage still succeeds
        FormSettings back;
        readSettings(path_, back);
        EXPECT_TRUE(sameSettings(back, s)) << "round " << round;
    }
    // A null byte ends nothing it should not, invalid UTF-8 is carried as bytes, and a
    // very long name is cut at 2047 bytes without splitting a character.
    std::string longName;
    while (longName.size() < 3000) longName += "あ";
    put(std::string("[FORM]\ntop=3\n\0\n[Font]\nname=\xff\xfe\n", 30));
    FormSettings s;
    readSettings(path_, s);
    EXPECT_EQ(s.top, 3);
    put("[Font]\nname=" + longName + "\n");
    readSettings(path_, s);
    EXPECT_LE(s.fontName.size(), 2047u);
    EXPECT_GE(s.fontName.size(), 2045u);
    EXPECT_EQ(s.fontName.size() % 3, 0u);  // whole three-byte characters only
}

TEST(SettingsPathTest, ConfigFolderAndProgramName) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved = oldXdg ? oldXdg : "";
    const char* oldHome = std::getenv("HOME");
    std::string savedHome = oldHome ? oldHome : "";

    setenv("XDG_CONFIG_HOME", "/cfg/", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(settingsPath("/usr/bin/nerova"), "/cfg/nerova.ini");
    EXPECT_EQ(settingsPath("/opt/x/calc2"), "/cfg/calc2.ini");  // a renamed copy
    EXPECT_EQ(settingsPath("./nerova.bin"), "/cfg/nerova.bin.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(settingsPath("nerova"), "/home/u/.config/nerova.ini");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settingsPath("/usr/bin/nerova"), "/home/u/.config/nerova.ini");

    if (oldXdg) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    if (oldHome) setenv("HOME", savedHome.c_str(), 1); else unsetenv("HOME");
}

// A renamed copy made as a symbolic link has its own name; an argv[0] that names nothing
// or another file falls back to the running program file.
TEST_F(SettingsFileTest, ProgramFileFromArgv0) {
    const std::string program = (dir_ / "nerova").string();
    put(program, "#!");
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    fs::create_symlink(program, dir_ / "calc2");
    const std::string other = (dir_ / "other").string();
    put(other, "#!");
    ASSERT_EQ(chmod(other.c_str(), 0755), 0);
    const std::string link = (dir_ / "calc2").string();

    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    // A folder of the program's name comes first in PATH: the shell passes it over.
    fs::create_directories(dir_ / "first" / "calc2");
    setenv("PATH", ("/nonexistent:" + (dir_ / "first").string() + ":" + dir_.string()).c_str(), 1);
    struct Row {
        std::string argv0, expected;
        const char* why;
    } rows[] = {
        {link, link, "a symbolic link to the program keeps its name"},
        {program, program, "the program itself"},
        {"calc2", link, "started by name, found in PATH"},
        {"nerova", program, "the program by name"},
        {other, program, "argv[0] names another file: not trusted"},
        {"other", program, "likewise through PATH"},
        {"absent", program, "argv[0] names nothing"},
        {"", program, "no argv[0]"},
    };
    for (const Row& r : rows) EXPECT_EQ(programFile(r.argv0, program), r.expected) << r.why;
    EXPECT_EQ(programFile(link, (dir_ / "gone").string()), (dir_ / "gone").string())
        << "a running file that is gone: its path as it was";
    if (oldPath) setenv("PATH", savedPath.c_str(), 1); else unsetenv("PATH");

    // The two names derived from it agree on the renamed copy.
    EXPECT_EQ(fs::path(settingsPath(programFile(link, program))).filename(), "calc2.ini");
}

// The window program is named after the program file that `nerova` hands over, and takes
// the variable out of the environment; with none (started on its own), after its own file.
TEST_F(SettingsFileTest, TheWindowProgramTakesTheHandedOverProgramFile) {
    const std::string window = (dir_ / "nerova-window").string();
    put(window, "#!");
    ASSERT_EQ(chmod(window.c_str(), 0755), 0);
    const std::string link = (dir_ / "calc2").string();
    fs::create_symlink(dir_ / "nerova", link);
    struct Row {
        const char* handed;
        std::string expected;
        const char* why;
    } rows[] = {
        {link.c_str(), link, "handed over by a renamed copy"},
        {nullptr, window, "started on its own: its own file"},
        {"/usr/bin/nerova", "/usr/bin/nerova", "handed over by the installed program"},
        {"", window, "an empty variable hands nothing over"},
    };
    for (const Row& r : rows) {
        if (r.handed) setenv(kProgramFileVariable, r.handed, 1); else unsetenv(kProgramFileVariable);
        takeHandedProgramFile();
        EXPECT_EQ(std::getenv(kProgramFileVariable), nullptr) << r.why;
        EXPECT_EQ(startedProgramFile(window, window), r.expected) << r.why;
        EXPECT_EQ(fs::path(settingsPath(startedProgramFile("nerova", window))).filename(),
                  fs::path(r.expected).filename().string() + ".ini") << r.why;
    }
}

TEST(FitOnAreaTest, Bounds) {
    const WindowBounds area{0, 0, 1920, 1080};
    struct Row {
        WindowBounds in, out;
        const char* why;
    } rows[] = {
        {{269, 440, 425, 196}, {269, 440, 425, 196}, "on the area: unchanged"},
        {{-5000, 440, 425, 196}, {0, 440, 425, 196}, "far left: moved to the edge"},
        {{1800, 1000, 425, 196}, {1495, 884, 425, 196}, "past the right and bottom"},
        {{10, 10, -100, 0}, {10, 10, 200, 100}, "negative and zero sizes: the minimum"},
        {{10, 10, 99999, 99999}, {0, 0, 1920, 1080}, "huge: the whole area"},
        {{2147483000, 2147483000, 425, 196}, {1495, 884, 425, 196}, "near INT_MAX"},
    };
    for (const Row& r : rows) {
        WindowBounds b = fitOnArea(r.in, area, 200, 100);
        EXPECT_EQ(b.left, r.out.left) << r.why;
        EXPECT_EQ(b.top, r.out.top) << r.why;
        EXPECT_EQ(b.width, r.out.width) << r.why;
        EXPECT_EQ(b.height, r.out.height) << r.why;
    }
    // An area offset from the origin (a second screen to the right).
    WindowBounds b = fitOnArea({0, 0, 425, 196}, {1920, 0, 1280, 1024}, 200, 100);
    EXPECT_EQ(b.left, 1920);
}

}  // namespace

// Extreme values written by hand are brought into range when read: positions and sizes
// that would overflow the arithmetic that places the window, and font sizes that make
// a window higher than any screen.
TEST_F(SettingsFileTest, ExtremeValuesAreClampedWhenRead) {
    struct Row {
        const char* file;
        FormSettings expected;
    };
    auto with = [](auto set) {
        FormSettings s;
        set(s);
        return s;
    };
    const Row rows[] = {
        {"[FORM]\nleft=2147483647\ntop=-2147483648\n",
         with([](FormSettings& s) { s.left = nerova::kMaxCoordinate; s.top = -nerova::kMaxCoordinate; })},
        {"[FORM]\nwidth=2147483647\nheight=-5\n",
         with([](FormSettings& s) { s.width = nerova::kMaxExtent; s.height = 0; })},
        {"[Font]\nsize=2147483647\n", with([](FormSettings& s) { s.fontSize = nerova::kMaxFontSize; })},
        {"[Font]\nsize=2000\n", with([](FormSettings& s) { s.fontSize = nerova::kMaxFontSize; })},
        {"[Font]\nsize=20\n", with([](FormSettings& s) { s.fontSize = 20; })},  // in range: as written
    };
    for (const Row& row : rows) {
        put(row.file);
        FormSettings s;
        readSettings(path_, s);
        EXPECT_EQ(s.left, row.expected.left) << row.file;
        EXPECT_EQ(s.top, row.expected.top) << row.file;
        EXPECT_EQ(s.width, row.expected.width) << row.file;
        EXPECT_EQ(s.height, row.expected.height) << row.file;
        EXPECT_EQ(s.fontSize, row.expected.fontSize) << row.file;
    }
}

TEST(ColorCodecTest, ExplicitColoursRoundTripSystemColoursAreTheDefault) {
    for (const nerova::Rgb c : {nerova::Rgb{0, 0, 0}, nerova::Rgb{255, 255, 255}, nerova::Rgb{200, 30, 40}}) {
        const auto back = nerova::decodeColor(nerova::encodeColor(c));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, c);
    }
    EXPECT_EQ(nerova::encodeColor({0x12, 0x34, 0x56}), 0x00563412);  // 0x00BBGGRR
    EXPECT_FALSE(nerova::decodeColor(nerova::kWindowTextColor).has_value());
    EXPECT_FALSE(nerova::decodeColor(static_cast<int32_t>(0x80000005u)).has_value());
}
